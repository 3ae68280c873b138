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

// Without DISPLAY the framework connects to ":0", where another program's
// virtual screen may come and go mid-run: name a display nobody serves, as on
// a machine without any.
static void useNoDisplayUnlessOneIsNamed()
{
    if (const char* display = std::getenv ("DISPLAY"); display != nullptr && *display != 0)
        return;

    for (int n = 7777;; ++n)
    {
        const auto number = std::to_string (n);

        if (! std::filesystem::exists ("/tmp/.X11-unix/X" + number) && ! std::filesystem::exists ("/tmp/.X" + number + "-lock"))
        {
            setenv ("DISPLAY", (":" + number).c_str(), 1);
            return;
        }
    }
}

// The framework's message manager and GUI singletons exist for the whole run,
// as they do inside a host.
int main (int argc, char** argv)
{
    useScratchConfigFolder();
    useNoDisplayUnlessOneIsNamed();
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
