#include "folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

bool platform::folder_listing::isValidUTF8 (const char* bytes, size_t length)
{
    const auto* s = reinterpret_cast<const unsigned char*> (bytes);

    for (size_t i = 0; i < length;)
    {
        const unsigned c = s[i];

        if (c == 0)
            return false;

        if (c < 0x80) { ++i; continue; }

        // Lead byte: number of continuation bytes and the range its second byte must fall in.
        int more = 0;
        unsigned low = 0x80, high = 0xBF;

        if (c >= 0xC2 && c <= 0xDF)      more = 1;
        else if (c == 0xE0)              { more = 2; low = 0xA0; }
        else if (c == 0xED)              { more = 2; high = 0x9F; }   // no surrogates
        else if (c >= 0xE1 && c <= 0xEF) more = 2;
        else if (c == 0xF0)              { more = 3; low = 0x90; }
        else if (c == 0xF4)              { more = 3; high = 0x8F; }   // nothing above U+10FFFF
        else if (c >= 0xF1 && c <= 0xF3) more = 3;
        else                             return false;

        if (i + (size_t) more >= length)
            return false;

        if (s[i + 1] < low || s[i + 1] > high)
            return false;

        for (int k = 2; k <= more; ++k)
            if (s[i + (size_t) k] < 0x80 || s[i + (size_t) k] > 0xBF)
                return false;

        i += (size_t) more + 1;
    }

    return true;
}

std::vector<platform::folder_listing::entry> platform::folder_listing::filesIn (const std::string& folder, const std::atomic<bool>* stop)
{
    std::vector<entry> files;
    DIR* dir = ::opendir (folder.c_str());

    if (dir == nullptr)
        return files;

    const int folderFd = ::dirfd (dir);

    while (const auto* e = ::readdir (dir))
    {
        if (stop != nullptr && stop->load (std::memory_order_relaxed))
            break;

        const std::string name (e->d_name);

        if (name[0] == '.' || ! isValidUTF8 (name.data(), name.size()))
            continue;

        if (e->d_type == DT_DIR)
            continue;

        struct stat info {};

        if (::fstatat (folderFd, e->d_name, &info, 0) != 0 || ! S_ISREG (info.st_mode))
            continue;

        files.push_back ({ name, (juce::int64) info.st_mtim.tv_sec * 1000 + info.st_mtim.tv_nsec / 1000000, (juce::int64) info.st_size });
    }

    ::closedir (dir);
    return files;
}

juce::String platform::folder_listing::nameOf (const std::string& utf8Name)
{
    if (! isValidUTF8 (utf8Name.data(), utf8Name.size()))
        return {};

    return juce::String::fromUTF8 (utf8Name.data(), (int) utf8Name.size());
}
