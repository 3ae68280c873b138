#include "folder_listing.h"

#include "system_text.h"

#include <dirent.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace
{
    std::atomic<bool> hooked { false };
    std::mutex hookLock;
    std::shared_ptr<const std::function<void()>> entryHook;

    void runEntryHook()
    {
        if (! hooked.load (std::memory_order_relaxed))
            return;

        std::shared_ptr<const std::function<void()>> hook;

        {
            const std::lock_guard<std::mutex> hold (hookLock);
            hook = entryHook;
        }

        if (hook != nullptr)
            (*hook)();
    }
}

std::vector<platform::folder_listing::entry> platform::folder_listing::filesIn (const std::string& folder, const std::atomic<bool>* stop)
{
    std::vector<entry> files;
    DIR* dir = ::opendir (folder.c_str());

    if (dir == nullptr)
        return files;

    const int folderFd = ::dirfd (dir);

    for (;;)
    {
        if (stop != nullptr && stop->load (std::memory_order_relaxed))
            break;

        runEntryHook();
        const auto* e = ::readdir (dir);

        if (e == nullptr)
            break;

        const std::string name (e->d_name);

        if (name[0] == '.' || ! platform::system_text::isValidUTF8 (name.data(), name.size()))
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
    return platform::system_text::decode (utf8Name).value_or (juce::String());
}

void platform::folder_listing::setEntryHookForTesting (std::function<void()> hook)
{
    const std::lock_guard<std::mutex> hold (hookLock);
    entryHook = hook ? std::make_shared<const std::function<void()>> (std::move (hook)) : nullptr;
    hooked = entryHook != nullptr;
}
