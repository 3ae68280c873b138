#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <random>

#include "LFO.h"
#include "delay_line.h"
#include "fixed_ring.h"
#include "noise_generator.h"
#include "smooth_IIR_filter.h"
#include "summed_window.h"
#include "tape_oscillator.h"

// The memory of one input channel's effect chain. The processor keeps 24 of
// these inside itself for its whole life. Every window and delay line has a
// fixed capacity reserved by prepare() on the message thread, so running the
// chain never allocates.
struct channel_state
{
    static constexpr int gainGlideSamples = 4800;
    static constexpr int clipWindowLength = 1024;
    static constexpr int longestTapeDelay = 40000;
    static constexpr float initialReleaseEnvelope = -144.0f;
    static constexpr std::uint32_t noiseSeed = 5489u;

    channel_state()
    {
        for (auto* g : { &clipGainDb, &dryWet, &outGainDb, &inGainDb })
            g->reset (gainGlideSamples);
    }

    // Room for the longest RMS window (2 s) and the longest tape delay that
    // this rate allows, plus the wobble around it. Only grows; contents stay.
    void prepare (double sampleRate)
    {
        const bool fresh = ! isPrepared();

        rmsSquares.samples.reserve (rmsCapacityFor (sampleRate));
        clipInWindow.samples.reserve (clipWindowLength + 1);
        clipOutWindow.samples.reserve (clipWindowLength + 1);
        pitchHistory.reserve (tapeCapacityFor (sampleRate));
        dryDelay.reserve (tapeCapacityFor (sampleRate));

        if (fresh)
        {
            // A new state holds one silent sample in each window and in the tape.
            rmsSquares.push_back (0.0f);
            clipInWindow.push_back (0.0f);
            clipOutWindow.push_back (0.0f);
            pitchHistory.push_back (0.0f);
        }
    }

    bool isPrepared() const noexcept { return pitchHistory.capacity() > 0; }

    static int rmsCapacityFor (double sampleRate) noexcept
    {
        return (int) (2.0 * sampleRate) + 2;
    }

    static int tapeCapacityFor (double sampleRate) noexcept
    {
        // The delay is at most 4 % of a 0.1 Hz wobble period, and never above
        // 40000 samples; the wobble swings about a third of that around it.
        const double longest = juce::jmin ((double) longestTapeDelay, 0.4 * sampleRate);
        return (int) (1.5 * longest) + 8192;
    }

    // Silences the history at a transport start: windows and tape keep their
    // sizes (so the delay keeps its length and read position) with zero content;
    // oscillators, envelopes and the noise start again. Filters, gains, the tape
    // position fields and the dry delay are left alone.
    void reset() noexcept
    {
        rmsSquares.zero();
        clipInWindow.zero();
        clipOutWindow.zero();
        pitchHistory.fill (0.0f);
        sampleHoldCounter = 0;
        sampleHoldValue = 0.0f;
        restartOscillators();
        restartNoise();
        releaseCounter = 0;
        releaseEnvelope = initialReleaseEnvelope;
        releaseStep = 0.0f;
    }

    // A transport start: the history silenced, and the tape's read placed
    // afresh for the wobble that starts again with it.
    void restartForTransportStart() noexcept
    {
        reset();
        tapeReadPending = true;
    }

    // The tape's read `readDelay` samples behind the newest sample, at the
    // front of its line (silence is added before the front where the line is
    // shorter), and the dry signal `dryLate` samples late.
    void placeTapeRead (int readDelay, int dryLate) noexcept
    {
        pitchHistory.resizeAtFront (readDelay + 1, 0.0f);
        curPitchHistStartIndx = 0;
        pitchReadFraction = 0.0f;
        tapeReadDelay = readDelay;
        dryDelaySamples = dryLate;
        tapeReadPending = false;
    }

    // The two modulation oscillators and the tape's start again at phase 0.
    void restartOscillators() noexcept
    {
        lfo1.phase = 0.0f;
        lfo2.phase = 0.0f;
        tapeLfo.phase = 0.0;
    }

    // The noise draws only where the channel's gate is open, so one sample
    // on which two channels' gates disagreed would part their noise for good:
    // started again (the generator from its seed, its filters from rest),
    // channels fed alike sound alike.
    void restartNoise() noexcept
    {
        noiseRng.restart (noiseSeed);
        noiseFilter.clearState();
        noiseLowCut.clearState();
    }

    // After a non-finite value got into the chain: flush every filter and
    // delay line so the channel works again from the next sample on.
    void recoverFromNonFinite() noexcept
    {
        reset();
        dryDelay.zero();
        pitchReadFraction = 0.0f;
        pitchRate = 1.0f;

        for (auto* f : { &noiseFilter, &noiseLowCut, &inputHighPass, &inputLowPass,
                         &pitchLowPass[0], &pitchLowPass[1], &pitchLowPass[2] })
            f->clearState();
    }

    summed_window<false> rmsSquares;     // squares of the working samples (noise detector)
    summed_window<true> clipInWindow;    // the last samples entering the clip stage
    summed_window<true> clipOutWindow;   // the last samples after its hard clip
    fixed_ring<float> pitchHistory;      // the tape delay line
    delay_line dryDelay;                 // the dry signal, read as late as the tape

    float tapeDepthRatio = 1.02f;
    int PitchNrSamples = 1024;
    float pitchRate = 1.0f;
    float pitchReadFraction = 0.0f;
    int curPitchHistStartIndx = 0;
    int tapeReadDelay = 0;               // how late the tape's last read was, in whole samples (-1: not followed)
    int dryDelaySamples = 0;             // how late the dry signal is read, whatever the tape's read does
    bool tapeReadPending = false;        // a transport start restarted the wobble: placeTapeRead is due

    int sampleHoldCounter = 0;
    float sampleHoldValue = 0.0f;

    LFO lfo1, lfo2;
    noise_generator noiseRng { noiseSeed };
    tape_oscillator tapeLfo;

    int releaseCounter = 0;
    float releaseEnvelope = initialReleaseEnvelope;
    float releaseStep = 0.0f;

    smooth_IIR_filter noiseFilter;
    smooth_IIR_filter noiseLowCut;
    smooth_IIR_filter inputHighPass;
    smooth_IIR_filter inputLowPass;
    smooth_IIR_filter pitchLowPass[3];

    juce::SmoothedValue<float> clipGainDb, dryWet, outGainDb, inGainDb;
};
