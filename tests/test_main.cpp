#include <gtest/gtest.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// Tests write presets and preferences: keep them out of the user's own
// configuration folder, whoever runs the program.
static void useScratchConfigFolder()
{
    const auto folder = std::filesystem::temp_directory_path() / ("zorvalune-tests-" + std::to_string (getpid()));
    std::filesystem::create_directories (folder);
    setenv ("XDG_CONFIG_HOME", folder.c_str(), 1);
}

// The framework's message manager and GUI singletons exist for the whole run,
// as they do inside a host.
int main (int argc, char** argv)
{
    useScratchConfigFolder();
    testing::InitGoogleTest (&argc, argv);
    int result = 0;

    {
        const juce::ScopedJuceInitialiser_GUI juce;
        result = RUN_ALL_TESTS();
    }

    std::error_code ignored;
    std::filesystem::remove_all (std::getenv ("XDG_CONFIG_HOME"), ignored);
    return result;
}
