// The standalone test's eyes and window manager on the X display in $DISPLAY:
//   x_screen_probe wm                  makes the atoms a window manager brings, so
//                                      programs started later offer to be closed
//   x_screen_probe origin              top-left of the control panel: the first row
//                                      with a long run of its header colour
//   x_screen_probe save X Y W H FILE   the pixels of that rectangle, into FILE
//   x_screen_probe differs X Y W H FILE  how many of them differ clearly from FILE's
//   x_screen_probe close WINDOW        asks the window to close, as a window manager does
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace
{
    using Pixels = std::vector<std::uint32_t>;     // 0xRRGGBB, row by row

    // The rectangle (the whole screen when w is 0); the display's size into w and h then.
    Pixels grab (Display* display, int x, int y, int& w, int& h)
    {
        const Window root = DefaultRootWindow (display);

        if (w == 0)
        {
            XWindowAttributes attributes;
            XGetWindowAttributes (display, root, &attributes);
            w = attributes.width;
            h = attributes.height;
        }

        Pixels pixels;
        XImage* image = XGetImage (display, root, x, y, (unsigned) w, (unsigned) h, AllPlanes, ZPixmap);

        if (image == nullptr)
            return pixels;

        for (int row = 0; row < h; ++row)
            for (int column = 0; column < w; ++column)
                pixels.push_back ((std::uint32_t) XGetPixel (image, column, row) & 0xffffffu);

        XDestroyImage (image);
        return pixels;
    }

    int origin (Display* display)
    {
        int w = 0, h = 0;
        const auto screen = grab (display, 0, 0, w, h);
        constexpr int longRun = 700;

        for (int y = 0; y < h; ++y)
            for (int x = 0, run = 0; x < w; ++x)
                if ((run = screen[(size_t) (y * w + x)] == 0x783232u ? run + 1 : 0) == longRun)
                    return std::printf ("%d %d\n", x - longRun + 1, y) > 0 ? 0 : 1;

        return 1;
    }

    // Redrawing the same picture may move a few edge pixels by a shade; a
    // changed value moves whole ring segments and digits.
    int differs (const Pixels& now, const char* path)
    {
        Pixels then (now.size());
        std::ifstream in (path, std::ios::binary);

        if (! in.read (reinterpret_cast<char*> (then.data()), (std::streamsize) (then.size() * sizeof (then[0]))))
            return 1;

        int count = 0;

        for (size_t i = 0; i < now.size(); ++i)
            for (int shift : { 0, 8, 16 })
                if (std::abs ((int) ((now[i] >> shift) & 0xff) - (int) ((then[i] >> shift) & 0xff)) > 24)
                {
                    ++count;
                    break;
                }

        std::printf ("%d\n", count);
        return 0;
    }

    int close (Display* display, Window window)
    {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        return XSendEvent (display, window, False, NoEventMask, &event) != 0 ? 0 : 1;
    }

    int run (Display* display, int argc, char** argv)
    {
        const std::string command = argv[1];

        if (command == "wm")
        {
            for (const char* name : { "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING" })
                XInternAtom (display, name, False);

            return 0;
        }

        if (command == "origin")
            return origin (display);

        if (command == "close" && argc == 3)
            return close (display, (Window) std::strtoul (argv[2], nullptr, 0));

        if ((command == "save" || command == "differs") && argc == 7)
        {
            int w = std::atoi (argv[4]), h = std::atoi (argv[5]);
            const auto pixels = grab (display, std::atoi (argv[2]), std::atoi (argv[3]), w, h);

            if (pixels.empty())
                return 1;

            if (command == "differs")
                return differs (pixels, argv[6]);

            std::ofstream out (argv[6], std::ios::binary);
            return out.write (reinterpret_cast<const char*> (pixels.data()), (std::streamsize) (pixels.size() * sizeof (pixels[0]))) ? 0 : 1;
        }

        return 2;
    }
}

int main (int argc, char** argv)
{
    Display* display = argc >= 2 ? XOpenDisplay (nullptr) : nullptr;

    if (display == nullptr)
        return 2;

    const int result = run (display, argc, argv);
    XCloseDisplay (display);
    return result;
}
