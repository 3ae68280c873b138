#include "ZorvaluneAudioProcessorEditor.h"

namespace
{
    // How often the editor looks for refresh requests from other threads.
    constexpr int refreshPollMs = 20;
}

ZorvaluneAudioProcessorEditor::ZorvaluneAudioProcessorEditor (ZorvaluneAudioProcessor& p)
    : juce::AudioProcessorEditor (p), pluginProcessor (p)
{
    setResizable (true, true);
    setSize (800, 600);
    setResizeLimits (40, 40, 1600, 1200);
    startTimer (refreshPollMs);
}

ZorvaluneAudioProcessorEditor::~ZorvaluneAudioProcessorEditor()
{
    stopTimer();
    cancelPendingUpdate();
}

void ZorvaluneAudioProcessorEditor::paint (juce::Graphics& g)
{
    getLookAndFeel().setColour (juce::ResizableWindow::backgroundColourId, juce::Colours::black);
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void ZorvaluneAudioProcessorEditor::resized() {}

void ZorvaluneAudioProcessorEditor::handleAsyncUpdate()
{
    ++refreshCount;
}

void ZorvaluneAudioProcessorEditor::timerCallback()
{
    if (pluginProcessor.takeEditorRefreshRequest())
        handleAsyncUpdate();
}

juce::AudioProcessorEditor* ZorvaluneAudioProcessor::createEditor()
{
    ++editorNotifyCounter;
    return new ZorvaluneAudioProcessorEditor (*this);
}
