#pragma once

#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "gui/common/ZorvaluneAudioProcessorEditor.h"
#include "gui/panels/ControlPanel.h"
#include "tests/message_pump.h"

#include <chrono>
#include <functional>
#include <thread>

namespace panel_tests
{
    // An editor opened the way a plug-in client opens one, and closed the same way.
    struct OpenEditor
    {
        explicit OpenEditor (ZorvaluneAudioProcessor& p)
            : processor (p),
              editor (dynamic_cast<ZorvaluneAudioProcessorEditor*> (p.createEditorIfNeeded()))
        {
        }

        ~OpenEditor()
        {
            processor.editorBeingDeleted (editor.get());
        }

        ControlPanel& panel() const   { return *editor->controlPanel; }

        ZorvaluneAudioProcessor& processor;
        std::unique_ptr<ZorvaluneAudioProcessorEditor> editor;
    };

    // Runs the message loop until `done` holds or the time is up.
    inline bool pumpUntil (const std::function<bool()>& done, int timeoutMs = 2000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

        while (! done())
        {
            if (std::chrono::steady_clock::now() > end)
                return false;

            test_support::pumpMessages();
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }

        return true;
    }

    inline juce::File snapshotFolder()
    {
        return juce::File (ZORVALUNE_SNAPSHOT_DIR);
    }
}
