#include <gtest/gtest.h>

#include "platform/atomic_file.h"

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
    // Texts of different lengths, so that a torn or mixed file shows.
    std::string textOf (int writer, int round)
    {
        return "{ \"writer\": " + std::to_string (writer) + ", \"round\": " + std::to_string (round) + ", \"pad\": \""
             + std::string ((size_t) (writer * 97 + round) % 4000, 'x') + "\" }";
    }

    bool writeRounds (const juce::File& target, int writer, int rounds)
    {
        bool all = true;

        for (int round = 0; round < rounds; ++round)
        {
            const auto text = textOf (writer, round);
            all = platform::atomic_file::replace (target, text.data(), text.size()) && all;
        }

        return all;
    }

    // The target holds one writer's text whole, and no temporary file is left.
    void expectOneWholeText (const juce::File& folder, const juce::File& target, int writers, int rounds)
    {
        const auto content = target.loadFileAsString().toStdString();
        bool whole = false;

        for (int w = 0; w < writers && ! whole; ++w)
            for (int r = 0; r < rounds && ! whole; ++r)
                whole = content == textOf (w, r);

        EXPECT_TRUE (whole) << content.substr (0, 80);
        EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFiles, "*"), 1);
    }

    struct ConcurrentWriters : testing::Test
    {
        void SetUp() override { ASSERT_TRUE (folder.createDirectory()); }
        void TearDown() override { folder.deleteRecursively(); }

        const juce::File folder = juce::File::createTempFile ("zorvalune-writers");
        const juce::File target = folder.getChildFile ("same.json");
        static constexpr int writers = 4, rounds = 150;
    };
}

TEST_F (ConcurrentWriters, ThreadsWritingOneFileAllSucceedAndLeaveOneWholeText)
{
    std::vector<std::thread> threads;
    std::atomic<int> failures { 0 };

    for (int w = 0; w < writers; ++w)
        threads.emplace_back ([&, w] { failures += writeRounds (target, w, rounds) ? 0 : 1; });

    for (auto& t : threads)
        t.join();

    EXPECT_EQ (failures.load(), 0);
    expectOneWholeText (folder, target, writers, rounds);
}

// Forked writers start from one copy of the process: nothing they derive a
// temporary name from may be that copy's.
TEST_F (ConcurrentWriters, ForkedProcessesWritingOneFileAllSucceedAndLeaveOneWholeText)
{
    std::vector<pid_t> children;

    for (int w = 0; w < writers; ++w)
    {
        const pid_t child = fork();
        ASSERT_GE (child, 0);

        if (child == 0)
            _exit (writeRounds (target, w, rounds) ? 0 : 1);

        children.push_back (child);
    }

    for (const auto child : children)
    {
        int status = -1;
        waitpid (child, &status, 0);
        EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0);
    }

    expectOneWholeText (folder, target, writers, rounds);
}
