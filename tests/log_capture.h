#pragma once

#include "platform/system_log.h"

#include <string>
#include <vector>

namespace test_support
{
    // Collects the notice lines written while it lives.
    struct LogCapture
    {
        LogCapture()  { platform::system_log::setSinkForTesting ([this] (const std::string& l) { lines.push_back (l); }); }
        ~LogCapture() { platform::system_log::setSinkForTesting ({}); }

        int count (const std::string& fragment) const
        {
            int n = 0;
            for (const auto& l : lines)
                n += l.find (fragment) != std::string::npos ? 1 : 0;
            return n;
        }

        std::vector<std::string> lines;
    };
}
