#include "system_text.h"

#include "system_log.h"

#include <cstdio>
#include <dlfcn.h>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <pwd.h>
#include <set>
#include <unistd.h>
#include <vector>

namespace
{
    // The length of the well-formed character at s[i], or 0 when the bytes
    // there are none: shortest forms only, no surrogates, nothing above
    // U+10FFFF, no NUL.
    size_t characterAt (const unsigned char* s, size_t i, size_t length)
    {
        const unsigned c = s[i];

        if (c == 0)
            return 0;

        if (c < 0x80)
            return 1;

        // Lead byte: number of continuation bytes and the range its second byte must fall in.
        size_t more = 0;
        unsigned low = 0x80, high = 0xBF;

        if (c >= 0xC2 && c <= 0xDF)      more = 1;
        else if (c == 0xE0)              { more = 2; low = 0xA0; }
        else if (c == 0xED)              { more = 2; high = 0x9F; }
        else if (c >= 0xE1 && c <= 0xEF) more = 2;
        else if (c == 0xF0)              { more = 3; low = 0x90; }
        else if (c == 0xF4)              { more = 3; high = 0x8F; }
        else if (c >= 0xF1 && c <= 0xF3) more = 3;
        else                             return 0;

        if (i + more >= length || s[i + 1] < low || s[i + 1] > high)
            return 0;

        for (size_t k = 2; k <= more; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return 0;

        return more + 1;
    }
}

bool platform::system_text::isValidUTF8 (const char* bytes, size_t length)
{
    const auto* s = reinterpret_cast<const unsigned char*> (bytes);

    for (size_t i = 0; i < length;)
    {
        const auto n = characterAt (s, i, length);

        if (n == 0)
            return false;

        i += n;
    }

    return true;
}

juce::String platform::system_text::decodeMarkingBroken (const char* bytes, size_t length)
{
    const auto* s = reinterpret_cast<const unsigned char*> (bytes);
    std::string text;
    text.reserve (length);

    for (size_t i = 0; i < length;)
    {
        const auto n = characterAt (s, i, length);
        text.append (n != 0 ? bytes + i : "\xEF\xBF\xBD", n != 0 ? n : 3);
        i += n != 0 ? n : 1;
    }

    return juce::String::fromUTF8 (text.data(), (int) text.size());
}

std::optional<juce::String> platform::system_text::decode (const char* bytes, size_t length)
{
    if (length == 0)
        return juce::String();

    if (bytes == nullptr || length > (size_t) std::numeric_limits<int>::max() || ! isValidUTF8 (bytes, length))
        return std::nullopt;

    return juce::String::fromUTF8 (bytes, (int) length);
}

std::optional<juce::String> platform::system_text::decode (const std::string& bytes)
{
    return decode (bytes.data(), bytes.size());
}

std::optional<std::string> platform::system_text::environment (const char* name)
{
    if (const char* value = std::getenv (name))
        return std::string (value);

    return std::nullopt;
}

std::optional<juce::File> platform::system_text::fileAt (const std::string& bytes, const char* source)
{
    const auto path = decode (bytes);

    if (! path.has_value())
    {
        // Paths are looked up often (every preset operation): one line each is enough.
        reportOnce ("\nZorvalune : the path in " + std::string (source) + " is not used, it is not valid UTF-8: "
                    + printable (bytes) + "\n");

        return std::nullopt;
    }

    // The framework would read a leading '~' as the home folder, unchecked.
    if (*path == "~" || path->startsWith ("~/"))
    {
        const auto home = homeFolder();
        return home.has_value() ? std::optional<juce::File> (home->getChildFile (path->substring (1).trimCharactersAtStart ("/")))
                                : std::nullopt;
    }

    if (! path->startsWithChar ('/'))
        return std::nullopt;

    return juce::File (*path);
}

std::optional<juce::File> platform::system_text::homeFolder()
{
    if (const auto home = environment ("HOME"); home.has_value() && ! home->empty())
        return home->front() == '/' ? fileAt (*home, "HOME") : std::nullopt;

    std::vector<char> buffer (16384);
    struct passwd entry {};
    struct passwd* found = nullptr;

    if (::getpwuid_r (::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr
        || found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return std::nullopt;

    return fileAt (found->pw_dir, "the user database's home folder");
}

std::optional<juce::File> platform::system_text::loadedFile()
{
    Dl_info info {};

    if (::dladdr (reinterpret_cast<void*> (&loadedFile), &info) == 0 || info.dli_fname == nullptr)
        return std::nullopt;

    char* resolved = ::realpath (info.dli_fname, nullptr);

    if (resolved == nullptr)
        return std::nullopt;

    const std::string path (resolved);
    std::free (resolved);
    return fileAt (path, "the plug-in's own path");
}

void platform::system_text::reportOnce (const std::string& line)
{
    static std::mutex reportedLock;
    static std::set<std::string> reported;

    {
        const std::lock_guard<std::mutex> hold (reportedLock);

        if (! reported.insert (line).second)
            return;
    }

    platform::system_log::notice ("%s", line.c_str());
}

std::string platform::system_text::printable (const std::string& bytes)
{
    std::string shown;

    for (const char byte : bytes)
    {
        const auto c = (unsigned char) byte;

        if (c >= 0x20 && c < 0x7F && c != '\\')
        {
            shown += (char) c;
        }
        else
        {
            char escaped[5];
            std::snprintf (escaped, sizeof (escaped), "\\x%02X", c);
            shown += escaped;
        }
    }

    return shown;
}
