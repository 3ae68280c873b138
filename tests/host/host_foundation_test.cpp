#include <gtest/gtest.h>

#include "plugin_host.h"

using plugin_host::Format;

class HostFoundation : public testing::TestWithParam<Format> {};

TEST_P (HostFoundation, LoadsWithFortyEightParameters)
{
    auto instance = plugin_host::load (GetParam());
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getName(), "Zorvalune");

    for (int i = 0; i < 48; ++i)
        EXPECT_NE (plugin_host::parameterFor (*instance, i), nullptr) << "parameter " << i;
}

INSTANTIATE_TEST_SUITE_P (Formats, HostFoundation, testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& info) { return std::string (plugin_host::formatName (info.param)); });
