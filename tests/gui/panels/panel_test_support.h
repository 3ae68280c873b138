#pragma once

#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "gui/common/ZorvaluneAudioProcessorEditor.h"
#include "gui/panels/ControlPanel.h"
#include "tests/host_recorder.h"
#include "tests/message_pump.h"

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

    // A page's knobs: its sliders, in child order.
    inline std::vector<juce::Slider*> knobsOf (const juce::Component& page)
    {
        std::vector<juce::Slider*> knobs;

        for (auto* child : page.getChildren())
            if (auto* knob = dynamic_cast<juce::Slider*> (child))
                knobs.push_back (knob);

        return knobs;
    }

    using test_support::HostRecorder;

    // A processor prepared as a host prepares it, its control panel with the
    // timers stopped (the tests tick the panel and its pages themselves), and
    // what the host hears.
    class PanelTest : public testing::Test
    {
    protected:
        PanelTest()
        {
            processor.prepareToPlay (48000.0, 64);
            panel.stopTimer();
            panel.advancedPanel->stopTimer();
        }

        ZorvaluneAudioProcessor processor;
        ControlPanel panel { processor };
        HostRecorder host { processor };
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

    // Expects light pixels where `picture`, taken of `pictured`, shows each
    // visible caption and knob of `page`: one covered, misplaced or drawn in
    // the wrong colour leaves its area dark (a switched-off one draws dimmed).
    // How many it checked.
    inline int expectCaptionsAndKnobsLit (const juce::Image& picture, const juce::Component& pictured, const juce::Component& page)
    {
        int checked = 0;

        for (auto* child : page.getChildren())
        {
            auto* label = dynamic_cast<juce::Label*> (child);
            const bool caption = label != nullptr && label->getText().isNotEmpty();

            if (! child->isVisible() || (! caption && dynamic_cast<juce::Slider*> (child) == nullptr))
                continue;

            const auto area = pictured.getLocalArea (child, child->getLocalBounds());
            EXPECT_GT (lightPixels (picture, area, child->isEnabled() ? 0.6f : 0.4f), 10)
                << child->getName() << " " << (caption ? label->getText() : juce::String());
            ++checked;
        }

        return checked;
    }
}
