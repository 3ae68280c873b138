#pragma once

#include <gtest/gtest.h>

#include "platform/cloud_documents.h"

#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support
{
    // Every test gets its own empty configuration folder and no cloud.
    class PresetFolderTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            ASSERT_TRUE (root.createDirectory());
            setenv ("XDG_CONFIG_HOME", root.getFullPathName().toRawUTF8(), 1);
            platform::cloud_documents::setDocumentsFolder ({});
        }

        void TearDown() override
        {
            setenv ("XDG_CONFIG_HOME", saved.toRawUTF8(), 1);
            platform::cloud_documents::setDocumentsFolder ({});
            root.deleteRecursively();
        }

        static juce::File put (const juce::File& folder, const juce::String& path, const juce::String& text)
        {
            const auto file = folder.getChildFile (path);
            file.getParentDirectory().createDirectory();
            file.replaceWithText (text);
            return file;
        }

        juce::File local() const { return root.getChildFile ("Zorvalune/userPresets"); }
        int filesIn (const juce::File& folder) const { return folder.getNumberOfChildFiles (juce::File::findFiles); }

        juce::String saved = juce::SystemStats::getEnvironmentVariable ("XDG_CONFIG_HOME", {});
        juce::File root = juce::File::createTempFile ("zorvalune-presets");
    };

    // Runs `check` in a child process as an ordinary user (root writes
    // anywhere, so permissions only count without it); its exit code.
    inline int runUnprivileged (const std::function<bool()>& check)
    {
        const pid_t child = fork();

        if (child == 0)
        {
            if (geteuid() == 0 && (setgid (65534) != 0 || setuid (65534) != 0))
                _exit (2);

            _exit (check() ? 0 : 1);
        }

        int status = -1;
        waitpid (child, &status, 0);
        return WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    }
}
