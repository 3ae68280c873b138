#include "atomic_file.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace
{
    // Hidden and without ".json": a crash may leave one behind, no listing shows it.
    const char* const temporaryPrefix = ".zorvalune-write-";

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

    const auto temporary = folder.getChildFile (temporaryPrefix
                                                + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64())
                                                + ".tmp");
    bool ok = false;

    {
        juce::FileOutputStream out (temporary);

        if (out.openedOk())
        {
            ok = (size == 0 || out.write (data, size));
            out.flush();   // also fsyncs
            ok = ok && out.getStatus().wasOk();
        }
    }

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
