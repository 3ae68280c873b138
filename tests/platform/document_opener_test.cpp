#include <gtest/gtest.h>

#include "platform/document_opener.h"

#include <chrono>
#include <thread>

using platform::document_opener::Opening;

namespace
{
    Opening::Outcome waitFor (Opening& opening)
    {
        for (int i = 0; i < 2000 && opening.poll() == Opening::Outcome::pending; ++i)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));

        return opening.poll();
    }

    // The desktop as a folder on PATH with the given openers, for one test.
    struct Desktop
    {
        Desktop() { folder.createDirectory(); }

        ~Desktop()
        {
            setenv ("PATH", savedPath.toRawUTF8(), 1);
            folder.deleteRecursively();
        }

        void addOpener (const char* name, const char* body)
        {
            const auto file = folder.getChildFile (name);
            file.replaceWithText (juce::String ("#!/bin/sh\n") + body + "\n", false, false, "\n");
            file.setExecutePermission (true);
        }

        void use() { setenv ("PATH", folder.getFullPathName().toRawUTF8(), 1); }

        juce::File folder { juce::File::createTempFile ("desktop") };
        juce::String savedPath { juce::SystemStats::getEnvironmentVariable ("PATH", {}) };
    };
}

TEST (DocumentOpener, OpensWithTheDesktopAndSaysWhenNothingCould)
{
    Desktop desktop;
    const auto seen = desktop.folder.getChildFile ("seen");
    desktop.addOpener ("xdg-open", ("printf %s \"$1\" > '" + seen.getFullPathName() + "'").toRawUTF8());
    desktop.use();

    auto opening = platform::document_opener::open ("/a path/with spaces.pdf");
    EXPECT_EQ (waitFor (*opening), Opening::Outcome::opened);
    EXPECT_EQ (seen.loadFileAsString(), "/a path/with spaces.pdf");

    // An opener that fails, then none at all: the browser is not there either.
    desktop.addOpener ("xdg-open", "exit 3");
    EXPECT_EQ (waitFor (*platform::document_opener::open ("https://quarvel.example")), Opening::Outcome::failed);
    desktop.folder.getChildFile ("xdg-open").deleteFile();
    EXPECT_EQ (waitFor (*platform::document_opener::open ("https://quarvel.example")), Opening::Outcome::failed);
}
