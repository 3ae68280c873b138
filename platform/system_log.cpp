#include "system_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <syslog.h>

namespace
{
    std::mutex sinkMutex;
    platform::system_log::Sink testSink;

    std::string format (const char* fmt, va_list args)
    {
        char buffer[1024];
        std::vsnprintf (buffer, sizeof (buffer), fmt, args);
        return buffer;
    }

    void emit (const std::string& line, bool print)
    {
        if (print)
        {
            std::fputs (line.c_str(), stdout);
            std::fflush (stdout);
        }

        {
            const std::lock_guard<std::mutex> lock (sinkMutex);

            if (testSink)
            {
                testSink (line);
                return;
            }
        }

        syslog (LOG_NOTICE, "%s", line.c_str());
    }
}

void platform::system_log::notice (const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    const auto line = format (fmt, args);
    va_end (args);
    emit (line, false);
}

void platform::system_log::noticeAndPrint (const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    const auto line = format (fmt, args);
    va_end (args);
    emit (line, true);
}

void platform::system_log::setSinkForTesting (Sink sink)
{
    const std::lock_guard<std::mutex> lock (sinkMutex);
    testSink = std::move (sink);
}
