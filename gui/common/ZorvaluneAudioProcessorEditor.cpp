#include "ZorvaluneAudioProcessorEditor.h"

#include "../panels/ControlPanel.h"

namespace
{
    // How often the editor looks for refresh requests raised on other threads.
    constexpr int refreshPollMs = 20;

    // The smallest stored panel size that the next editor restores.
    constexpr int smallestRestoredSize = 41;
}

ZorvaluneAudioProcessorEditor::ZorvaluneAudioProcessorEditor (ZorvaluneAudioProcessor& p)
    : juce::AudioProcessorEditor (p), pluginProcessor (p)
{
    setResizable (true, true);

    controlPanel = std::make_unique<ControlPanel> (pluginProcessor);
    addAndMakeVisible (*controlPanel);

    naturalPanelHeight = controlPanel->getHeight();
    naturalPanelWidth = controlPanel->getWidth();

    const int storedW = pluginProcessor.pluginResizedW.load();
    const int storedH = pluginProcessor.pluginResizedH.load();

    if (storedW >= smallestRestoredSize && storedW <= naturalPanelWidth
        && storedH >= smallestRestoredSize && storedH <= naturalPanelHeight)
        setSize (storedW, storedH);
    else
        setSize (naturalPanelWidth, naturalPanelHeight);

    setResizeLimits (40, 40, 1600, 2 * naturalPanelHeight);

    startTimer (refreshPollMs);
}

ZorvaluneAudioProcessorEditor::~ZorvaluneAudioProcessorEditor()
{
    stopTimer();
    controlPanel.reset();
    cancelPendingUpdate();
}

void ZorvaluneAudioProcessorEditor::paint (juce::Graphics& g)
{
    getLookAndFeel().setColour (juce::ResizableWindow::backgroundColourId, juce::Colours::black);
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void ZorvaluneAudioProcessorEditor::resized()
{
    if (controlPanel == nullptr)
        return;

    const float W = (float) getWidth();
    const float H = (float) getHeight();

    // Keep the panel between 4:3 and 8:5 and centre it.
    const float aspect = juce::jlimit (1.3333334f, 1.6f, W / H);

    float w, h;

    if (W < H * aspect)
    {
        w = W;
        h = W / aspect;
    }
    else
    {
        w = H * aspect;
        h = H;
    }

    const int x = W > w ? (int) ((W - w) * 0.5f) : 0;
    const int y = H > h ? (int) ((H - h) * 0.5f) : 0;

    controlPanel->setBounds (x, y, (int) w, (int) h);

    pluginProcessor.pluginResizedW = (int) w;
    pluginProcessor.pluginResizedH = (int) h;
}

int ZorvaluneAudioProcessorEditor::getControlParameterIndex (juce::Component& control)
{
    if (controlPanel == nullptr)
        return -1;

    return controlPanel->getControlParameterIndex (control);
}

void ZorvaluneAudioProcessorEditor::handleAsyncUpdate()
{
    if (controlPanel != nullptr)
        controlPanel->update_UI();
}

void ZorvaluneAudioProcessorEditor::timerCallback()
{
    if (pluginProcessor.takeEditorRefreshRequest())
        triggerAsyncUpdate();
}

juce::AudioProcessorEditor* ZorvaluneAudioProcessor::createEditor()
{
    ++editorNotifyCounter;
    return new ZorvaluneAudioProcessorEditor (*this);
}
