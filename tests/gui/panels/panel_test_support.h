#pragma once

#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "gui/common/ZorvaluneAudioProcessorEditor.h"
#include "gui/panels/ControlPanel.h"
#include "tests/message_pump.h"

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

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

    // A page's knobs: its sliders, in child order.
    inline std::vector<juce::Slider*> knobsOf (const juce::Component& page)
    {
        std::vector<juce::Slider*> knobs;

        for (auto* child : page.getChildren())
            if (auto* knob = dynamic_cast<juce::Slider*> (child))
                knobs.push_back (knob);

        return knobs;
    }

    // What the host hears of a processor: parameter changes and gestures.
    struct HostRecorder : juce::AudioProcessorListener
    {
        explicit HostRecorder (juce::AudioProcessor& p) : processor (p) { p.addListener (this); }
        ~HostRecorder() override { processor.removeListener (this); }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int i, float v) override { changes.push_back ({ i, v }); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int i) override { begun.push_back (i); }
        void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int i) override { ended.push_back (i); }

        void clear() { changes.clear(); begun.clear(); ended.clear(); }

        juce::AudioProcessor& processor;
        std::vector<std::pair<int, float>> changes;
        std::vector<int> begun, ended;
    };

    // A click as the user makes it: toggles a toggling button, then tells the listeners.
    inline void click (juce::Button& button)
    {
        button.triggerClick();
        test_support::pumpMessages();
    }

    // A user's pick in a combo box.
    inline void choose (juce::ComboBox& combo, int id)
    {
        combo.setSelectedId (id, juce::sendNotificationSync);
    }

    // One silent block of `n` samples on a prepared processor.
    inline void runBlock (juce::AudioProcessor& p, int n = 64)
    {
        juce::AudioBuffer<float> buffer (juce::jmax (p.getTotalNumInputChannels(), p.getTotalNumOutputChannels()), n);
        buffer.clear();
        juce::MidiBuffer midi;
        p.processBlock (buffer, midi);
    }

    inline juce::File snapshotFolder()
    {
        return juce::File (ZORVALUNE_SNAPSHOT_DIR);
    }

    // Writes `image` as build/snapshots/<name>.png for people to look at.
    inline bool writeSnapshot (const juce::Image& image, const juce::String& name)
    {
        const auto folder = snapshotFolder();

        if (! folder.createDirectory())
            return false;

        const auto file = folder.getChildFile (name + ".png");
        file.deleteFile();
        juce::FileOutputStream out (file);
        return out.openedOk() && juce::PNGImageFormat().writeImageToStream (image, out);
    }

    // Pixels in `area` brighter than `threshold`: captions and knob values draw
    // light on the dark pages.
    inline int lightPixels (const juce::Image& image, juce::Rectangle<int> area, float threshold)
    {
        int light = 0;
        area = area.getIntersection (image.getBounds());

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                light += image.getPixelAt (x, y).getBrightness() > threshold ? 1 : 0;

        return light;
    }
}
