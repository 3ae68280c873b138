#include <gtest/gtest.h>

#include "plugin_host.h"
#include "allocation_counter.h"
#include "../../message_pump.h"

#include <atomic>
#include <chrono>
#include <thread>

using plugin_host::Format;

namespace
{
    // Host automation and audio on their own thread, as in a playing project.
    class Automation
    {
    public:
        explicit Automation (juce::AudioPluginInstance& instance)
        {
            for (int index : { 0, 5, 6, 17, 21, 22, 24, 25, 28, 29, 35, 37, 41 })
                if (auto* p = plugin_host::parameterFor (instance, index))
                    parameters.push_back (p);

            worker = std::thread ([this, &instance]
            {
                juce::AudioBuffer<float> input (2, 256);
                input.clear();

                for (int i = 0; ! stop.load(); ++i)
                {
                    for (size_t k = 0; k < parameters.size(); ++k)
                        parameters[k]->setValue ((float) ((i + (int) k * 7) % 101) / 100.0f);

                    plugin_host::process (instance, input, 256);
                    ++blocks;
                }
            });
        }

        ~Automation()
        {
            stop = true;
            worker.join();
        }

        std::vector<juce::AudioProcessorParameter*> parameters;
        std::atomic<int> blocks { 0 };

    private:
        std::atomic<bool> stop { false };
        std::thread worker;
    };

    // Opens the editor as a host does, lets it run a while, closes it again.
    juce::Rectangle<int> openAndClose (juce::AudioPluginInstance& instance, int keepOpenMs)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance.createEditorIfNeeded());

        if (editor == nullptr)
        {
            ADD_FAILURE() << "no editor";
            return {};
        }

        test_support::pumpMessagesFor (keepOpenMs);
        const auto bounds = editor->getLocalBounds();
        editor.reset();
        test_support::pumpMessagesFor (20);
        return bounds;
    }
}

TEST (EditorInHost, OpensAtDesignSizeAndClosesRepeatedlyUnderAutomation)
{
    auto instance = plugin_host::load (Format::vst3, 48000.0, 256);
    ASSERT_NE (instance, nullptr);
    ASSERT_TRUE (instance->hasEditor());

    Automation automation (*instance);
    ASSERT_EQ (automation.parameters.size(), 13u);

    for (int round = 0; round < 8; ++round)
        EXPECT_EQ (openAndClose (*instance, 60), juce::Rectangle<int> (0, 0, 800, 600)) << "round " << round;

    EXPECT_GT (automation.blocks.load(), 0);
    EXPECT_EQ (instance->getActiveEditor(), nullptr);
}

TEST (EditorInHost, OpeningAndClosingLeavesNothingBehind)
{
    auto instance = plugin_host::load (Format::vst3, 48000.0, 256);
    ASSERT_NE (instance, nullptr);

    std::int64_t baseline = 0, whileOpen = 0;

    {
        Automation automation (*instance);

        // The first rounds fill the shared caches (pictures, typeface).
        for (int round = 0; round < 3; ++round)
            openAndClose (*instance, 40);

        baseline = allocation_counter::liveBlocks();

        for (int round = 0; round < 10; ++round)
        {
            std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
            ASSERT_NE (editor, nullptr);
            test_support::pumpMessagesFor (40);
            whileOpen = juce::jmax (whileOpen, allocation_counter::liveBlocks() - baseline);
            editor.reset();
            test_support::pumpMessagesFor (20);
        }
    }

    test_support::pumpMessagesFor (50);
    const auto growth = allocation_counter::liveBlocks() - baseline;

    // An open editor holds about a thousand blocks; closing must give every one
    // back. The margin covers blocks in flight on the automation thread, far
    // below one block per round.
    EXPECT_GT (whileOpen, 300);
    EXPECT_LT (growth, 10) << "blocks held while open: " << whileOpen;
}
