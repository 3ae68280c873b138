// Reads the screen of the X display in $DISPLAY, for the standalone test:
//   x_screen_probe origin            top-left of the control panel (the first
//                                    row with a long run of its header colour)
//   x_screen_probe save X Y W H FILE the pixels of that rectangle, into FILE
//   x_screen_probe differs X Y W H FILE
//                                    how many of them differ clearly from FILE's
//   x_screen_probe png FILE          the whole screen as a PNG, to look at
//   x_screen_probe wm                makes the atoms a window manager would bring,
//                                    so programs started after it offer to be closed
//   x_screen_probe close WINDOW      asks the window to close, as a window manager does
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
    struct Picture
    {
        int width = 0, height = 0;
        std::vector<std::uint32_t> rgb;     // 0xRRGGBB per pixel, row by row

        std::uint32_t at (int x, int y) const { return rgb[(size_t) y * (size_t) width + (size_t) x]; }
    };

    bool grab (Picture& s)
    {
        Display* display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return false;

        const Window root = DefaultRootWindow (display);
        XWindowAttributes attributes;
        XGetWindowAttributes (display, root, &attributes);
        XImage* image = XGetImage (display, root, 0, 0, (unsigned) attributes.width, (unsigned) attributes.height,
                                   AllPlanes, ZPixmap);

        if (image != nullptr)
        {
            s.width = attributes.width;
            s.height = attributes.height;
            s.rgb.resize ((size_t) s.width * (size_t) s.height);

            for (int y = 0; y < s.height; ++y)
                for (int x = 0; x < s.width; ++x)
                    s.rgb[(size_t) y * (size_t) s.width + (size_t) x] = (std::uint32_t) XGetPixel (image, x, y) & 0xffffffu;

            XDestroyImage (image);
        }

        XCloseDisplay (display);
        return image != nullptr;
    }

    int origin (const Picture& s)
    {
        constexpr std::uint32_t headerColour = 0x783232;
        constexpr int longRun = 700;

        for (int y = 0; y < s.height; ++y)
            for (int x = 0, run = 0; x < s.width; ++x)
            {
                run = s.at (x, y) == headerColour ? run + 1 : 0;

                if (run == longRun)
                {
                    std::printf ("%d %d\n", x - longRun + 1, y);
                    return 0;
                }
            }

        return 1;
    }

    struct Rectangle { int x, y, w, h; };

    Rectangle rectangle (char** argv)
    {
        return { std::atoi (argv[0]), std::atoi (argv[1]), std::atoi (argv[2]), std::atoi (argv[3]) };
    }

    std::vector<std::uint32_t> pixels (const Picture& s, Rectangle r)
    {
        std::vector<std::uint32_t> out;

        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                out.push_back (x >= 0 && y >= 0 && x < s.width && y < s.height ? s.at (x, y) : 0u);

        return out;
    }

    int save (const Picture& s, Rectangle r, const char* path)
    {
        const auto p = pixels (s, r);
        FILE* file = std::fopen (path, "wb");

        if (file == nullptr)
            return 1;

        const bool written = std::fwrite (p.data(), sizeof (p[0]), p.size(), file) == p.size();
        return std::fclose (file) == 0 && written ? 0 : 1;
    }

    // Redrawing the same picture may move a few edge pixels by a shade; a
    // changed value moves whole ring segments and digits.
    int differs (const Picture& s, Rectangle r, const char* path)
    {
        const auto now = pixels (s, r);
        std::vector<std::uint32_t> then (now.size());
        FILE* file = std::fopen (path, "rb");

        if (file == nullptr || std::fread (then.data(), sizeof (then[0]), then.size(), file) != then.size())
            return 1;

        std::fclose (file);
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

    int png (const Picture& s, const char* path)
    {
        FILE* file = std::fopen (path, "wb");

        if (file == nullptr)
            return 1;

        png_structp writer = png_create_write_struct (PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct (writer);

        if (setjmp (png_jmpbuf (writer)))
        {
            std::fclose (file);
            return 1;
        }

        png_init_io (writer, file);
        png_set_IHDR (writer, info, (png_uint_32) s.width, (png_uint_32) s.height, 8, PNG_COLOR_TYPE_RGB,
                      PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info (writer, info);
        std::vector<png_byte> row ((size_t) s.width * 3);

        for (int y = 0; y < s.height; ++y)
        {
            for (int x = 0; x < s.width; ++x)
            {
                const auto c = s.at (x, y);
                row[(size_t) x * 3] = (png_byte) (c >> 16);
                row[(size_t) x * 3 + 1] = (png_byte) (c >> 8);
                row[(size_t) x * 3 + 2] = (png_byte) c;
            }

            png_write_row (writer, row.data());
        }

        png_write_end (writer, nullptr);
        png_destroy_write_struct (&writer, &info);
        std::fclose (file);
        return 0;
    }

    int windowManagerAtoms()
    {
        Display* display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return 2;

        for (const char* name : { "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING" })
            XInternAtom (display, name, False);

        XCloseDisplay (display);
        return 0;
    }

    int close (Window window)
    {
        Display* display = XOpenDisplay (nullptr);

        if (display == nullptr)
            return 2;

        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
        event.xclient.data.l[1] = CurrentTime;
        const Status sent = XSendEvent (display, window, False, NoEventMask, &event);
        XCloseDisplay (display);
        return sent != 0 ? 0 : 1;
    }
}

int main (int argc, char** argv)
{
    if (argc == 2 && std::strcmp (argv[1], "wm") == 0)
        return windowManagerAtoms();

    if (argc == 3 && std::strcmp (argv[1], "close") == 0)
        return close ((Window) std::strtoul (argv[2], nullptr, 0));

    Picture screen;

    if (argc < 2 || ! grab (screen))
        return 2;

    if (std::strcmp (argv[1], "origin") == 0)
        return origin (screen);

    if (std::strcmp (argv[1], "save") == 0 && argc == 7)
        return save (screen, rectangle (argv + 2), argv[6]);

    if (std::strcmp (argv[1], "differs") == 0 && argc == 7)
        return differs (screen, rectangle (argv + 2), argv[6]);

    if (std::strcmp (argv[1], "png") == 0 && argc == 3)
        return png (screen, argv[2]);

    return 2;
}
