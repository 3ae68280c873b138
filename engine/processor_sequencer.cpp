#include "PluginProcessor.h"

// The sequencer's step clock, run by every processed block (also while the
// transport is stopped): it counts the block's samples into the current step.
// When a step has elapsed the counter starts the next one; handing the step
// change of a running sequence to the message thread belongs here as well and
// is not wired in yet.
void ZorvaluneAudioProcessor::runSequencerStepClock (int numSamples)
{
    const int length = stepLengthSamples.load();

    if (stepSampleCounter >= length)
        stepSampleCounter = juce::jmax (0, stepSampleCounter - length);

    stepSampleCounter += numSamples;
}
