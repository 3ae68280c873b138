#include "atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
    // Hidden and without ".json": a crash may leave one behind, no listing shows it.
    const char* const temporaryPrefix = ".zorvalune-write-";

    std::atomic<unsigned> writesStarted { 0 };

    // A name no other writer can be using: process and thread ids tell writers
    // apart (forked ones included), the counter tells apart this thread's own
    // attempts, and the exclusive create refuses anything left by a crash.
    int createTemporary (const juce::File& folder, juce::File& temporary)
    {
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            temporary = folder.getChildFile (juce::String (temporaryPrefix) + juce::String ((int) ::getpid()) + "-"
                                             + juce::String ((juce::int64) ::syscall (SYS_gettid)) + "-"
                                             + juce::String (writesStarted.fetch_add (1, std::memory_order_relaxed)) + ".tmp");
            const int fd = ::open (temporary.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);

            if (fd >= 0 || errno != EEXIST)
                return fd;
        }

        return -1;
    }

    bool writeAll (int fd, const void* data, size_t size)
    {
        for (const auto* p = static_cast<const char*> (data); size > 0;)
        {
            const auto n = ::write (fd, p, size);

            if (n < 0 && errno == EINTR)
                continue;

            if (n <= 0)
                return false;

            p += n;
            size -= (size_t) n;
        }

        return true;
    }

    bool holdsExactly (const juce::File& file, const void* data, size_t size)
    {
        juce::MemoryBlock written;
        return file.loadFileAsData (written) && written.matches (data, size);
    }

    // The rename itself is only durable once the folder's entry is on disk.
    void syncFolder (const juce::File& folder)
    {
        const int fd = ::open (folder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY);

        if (fd >= 0)
        {
            ::fsync (fd);
            ::close (fd);
        }
    }
}

bool platform::atomic_file::replace (const juce::File& target, const void* data, size_t size)
{
    const auto folder = target.getParentDirectory();

    if (! folder.isDirectory())
        return false;

    juce::File temporary;
    const int fd = createTemporary (folder, temporary);

    if (fd < 0)
        return false;

    bool ok = writeAll (fd, data, size) && ::fsync (fd) == 0;
    ok = ::close (fd) == 0 && ok;

    ok = ok && holdsExactly (temporary, data, size)
            && std::rename (temporary.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) == 0;

    if (! ok)
    {
        temporary.deleteFile();
        return false;
    }

    syncFolder (folder);
    return true;
}
