#pragma once

#include <functional>
#include <string>

// Diagnostics at notice level. On Linux they go to syslog(3); a test can
// install a sink to see exactly which lines were written.
namespace platform::system_log
{
    void notice (const char* format, ...)
#if defined(__GNUC__)
        __attribute__ ((format (printf, 1, 2)))
#endif
        ;

    // Like notice, and also printed to standard output.
    void noticeAndPrint (const char* format, ...)
#if defined(__GNUC__)
        __attribute__ ((format (printf, 1, 2)))
#endif
        ;

    using Sink = std::function<void (const std::string&)>;

    // Replaces syslog for the lifetime of the process until reset with {}.
    void setSinkForTesting (Sink sink);
}
