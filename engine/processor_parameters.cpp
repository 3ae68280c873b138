#include "PluginProcessor.h"

#include "../presets/factory_presets.h"
#include "safe_convert.h"

#include <cmath>

using namespace parameter_table;

namespace
{
    bool isValidIndex (int index) { return index >= 0 && index < numParameters; }

    // trunc(v x 100 + 0.5): the code a source or destination parameter holds.
    int codeOf (float v) { return truncToInt (v * 100.0f + 0.5f); }

    constexpr int lfoWaveformForSource[] = { 0, 2, 3, 4, 7 };

    void selectSource (ZorvaluneAudioProcessor& p, int slot, int code);

    // The settings that set the delay: the tape's, and the side-chain send,
    // which passes the audio straight through.
    bool movesDelay (int index) { return index == tapeOn || index == tapeFreqDelta || index == tapeRotation || index == mod1Src; }
}

int ZorvaluneAudioProcessor::getNumParameters() { return NUM_PARAMETERS; }

const juce::String ZorvaluneAudioProcessor::getParameterName (int index)
{
    if (index >= 0 && index <= 46)
        return entries[(size_t) index].name;

    return "param_" + juce::String (index);
}

// The LV2 wrapper turns ids into Turtle names, where a bare number is not
// valid; it gets "p<index>". Every other format keeps the decimal index.
juce::String ZorvaluneAudioProcessor::getParameterID (int index)
{
    if (wrapperType == wrapperType_LV2)
        return "p" + juce::String (index);

    return juce::String (index);
}

float ZorvaluneAudioProcessor::getParameter (int index)
{
    return isValidIndex (index) ? parameterValues[(size_t) index].load() : 0.0f;
}

const juce::String ZorvaluneAudioProcessor::getParameterText (int index)
{
    return isValidIndex (index) ? juce::String (parameterValues[(size_t) index].load()) : juce::String();
}

float ZorvaluneAudioProcessor::getParameterDefaultValue (int index)
{
    return (unsigned) index < (unsigned) numStoredDefaults ? entries[(size_t) index].defaultValue : 0.0f;
}

bool ZorvaluneAudioProcessor::isParameterAutomatable (int index) const
{
    return ! isValidIndex (index) || entries[(size_t) index].automatable;
}

float ZorvaluneAudioProcessor::getParameterValue (int index)
{
    if ((unsigned) index > 45u)
        return getParameter (index);

    if (index == lfo1Freq) return lfo1Hz.load();
    if (index == lfo2Freq) return lfo2Hz.load();

    const auto& e = entries[(size_t) index];
    return (parameterValues[(size_t) index].load() - e.offset) * e.scale;
}

float ZorvaluneAudioProcessor::parameterValue2Plugin (int index, float u)
{
    if ((unsigned) index > 45u)
        return u;

    if (index == inHighPassFreq && u <= 50.0f)
        return 0.0f;   // 50 Hz or less switches the input high-pass off

    const auto& e = entries[(size_t) index];
    return u / e.scale + e.offset;
}

//==============================================================================
// The door of the host, the editor, MIDI and presets; the sequencer stores
// its steps' values itself, and its moves of the delay are never reported.
void ZorvaluneAudioProcessor::setParameter (int index, float v)
{
    storeParameter (index, v, true);

    if (movesDelay (index))
        latencyReport.ask();
}

// setParameter's work; without `designFilters` the caller sees to the
// coefficient set a filter parameter shapes.
void ZorvaluneAudioProcessor::storeParameter (int index, float v, bool designFilters)
{
    if (! isValidIndex (index))
        return;

    parameterValues[(size_t) index].exchange (v);

    switch (index)
    {
        case noiseFilterFreq:
        case noiseFilterType:
        case noiseFilterQ:
        case pitchLowPassFreq:
        case inHighPassFreq:
        case inLowPassFreq:
            if (designFilters)
                designFilter (index);
            break;

        case tapeRotation:
            tapeWobbleRate = v * 100.0f;
            break;

        case lfo1Freq:
        case lfo2Freq:
        {
            const bool first = index == lfo1Freq;
            auto& hz = first ? lfo1Hz : lfo2Hz;
            auto& syncIndex = first ? lfo1SyncIndex : lfo2SyncIndex;
            hz = v * 400.0f;

            // Without a tempo nothing locks (a tempo of 0 would otherwise match
            // any rate below 0.001 Hz).
            if (hz.load() > 0.0f && tempoBpm.load() > 0.0f)
            {
                const float beatsPerSecond = tempoBpm.load() / 60.0f;
                const float ratio = beatsPerSecond / hz.load();
                auto best = sBeatFractions.begin();
                float bestDistance = 1000.0f;

                for (auto it = sBeatFractions.begin(); it != sBeatFractions.end(); ++it)
                {
                    const float distance = std::abs (ratio - it->second);

                    if (distance < bestDistance)
                    {
                        best = it;
                        bestDistance = distance;
                    }
                }

                if (std::abs (beatsPerSecond / best->second - hz.load()) < 0.001f)
                    syncIndex = best->first;
            }
            break;
        }

        case mod1Src: selectSource (*this, 1, codeOf (v)); break;
        case mod2Src: selectSource (*this, 2, codeOf (v)); break;
        case mod1Dest:   mod1Destination = codeOf (v); break;
        case mod2Dest:   mod2Destination = codeOf (v); break;

        case seqBpm:
        case seqNrBars:
            updateStepLength (index);
            break;

        case seqOn:
            sequencerOn (v > 0.5f ? 1 : 0);
            break;

        case seqMode:
            if (v == 0.0f)
                sequencerRunning = 0;
            break;

        default:
            break;
    }

    recordTouchedParameter (index);

    if (presetModified.load() == 0)
    {
        presetModified = 1;
        ++editorNotifyCounter;
    }

    if (editorNotifyCounter.load() != 0)
        notifyEditor();
}

//============================================================================== filters
// The four coefficient sets that parameters shape, in the order the block frame
// takes them, with the parameters each is designed from.
const ZorvaluneAudioProcessor::designed_set ZorvaluneAudioProcessor::designedSets[numDesignedSets] =
{
    { &ZorvaluneAudioProcessor::inputHighPassCoeffs, { inHighPassFreq, -1, -1 } },
    { &ZorvaluneAudioProcessor::inputLowPassCoeffs,  { inLowPassFreq, -1, -1 } },
    { &ZorvaluneAudioProcessor::noiseFilterCoeffs,   { noiseFilterFreq, noiseFilterType, noiseFilterQ } },
    { &ZorvaluneAudioProcessor::pitchLowPassCoeffs,  { pitchLowPassFreq, -1, -1 } },
};

int ZorvaluneAudioProcessor::designedSetOf (int index) noexcept
{
    for (int s = 0; s < numDesignedSets; ++s)
        for (int input : designedSets[s].inputs)
            if (input == index)
                return s;

    return -1;
}

// Designs set `set` from the normalised parameter values `v` at `rate`.
void ZorvaluneAudioProcessor::designSet (int set, const parameter_values& v, float rate, filter_coefficients& out)
{
    const auto clampedFrequency = [&] (int i) { return juce::jlimit (50.0, 20000.0, (double) v[(size_t) i] * 20000.0); };

    switch (set)
    {
        case 0:  butterworth::highPass (clampedFrequency (inHighPassFreq), rate, out); break;
        case 1:  butterworth::lowPass (clampedFrequency (inLowPassFreq), rate, out); break;
        case 2:  noiseFilterDesign (truncToInt (v[noiseFilterType] * 10.0f), v[noiseFilterFreq] * 20000.0f, v[noiseFilterQ], rate, out); break;
        default: butterworth::lowPass (clampedFrequency (pitchLowPassFreq), rate, out); break;
    }
}

ZorvaluneAudioProcessor::parameter_values ZorvaluneAudioProcessor::currentParameterValues() const
{
    parameter_values v;

    for (size_t i = 0; i < v.size(); ++i)
        v[i] = parameterValues[i].load();

    return v;
}

// Designs, from the current parameter values and rate, the coefficient set
// that parameter `index` shapes, and hands it to the block frame.
void ZorvaluneAudioProcessor::designFilter (int index)
{
    const int set = designedSetOf (index);

    if (set < 0)
        return;

    // The values are read within the writer's turn, so the last set published
    // comes from the newest values.
    (this->*designedSets[set].live).publish ([&] (filter_coefficients& c)
    {
        designSet (set, currentParameterValues(), sampleRate, c);
    });
}

void ZorvaluneAudioProcessor::calc_filter_coeffs (int type, float frequency, filter_coefficients& out)
{
    noiseFilterDesign (type, frequency, parameterValues[noiseFilterQ].load(), sampleRate, out);
}

void ZorvaluneAudioProcessor::noiseFilterDesign (int type, float frequency, float qValue, float rate, filter_coefficients& out)
{
    constexpr double pi = 3.14159265358979323846;

    float q = qValue * 10.0f;

    if (q <= 0.01f)
        q = 0.1f;

    const double f = juce::jmin (juce::jlimit (50.0, 20000.0, (double) frequency),
                                 butterworth::highestDesignFrequency (rate));
    const double w = pi * f / (double) rate;
    const double qd = q;

    switch (type)
    {
        case 1: butterworth::lowPass (f, rate, out); break;
        case 2: butterworth::highPass (f, rate, out); break;
        case 3:
        {
            const double c = 1.0 / std::tan (w);
            const double n = 1.0 / (1.0 + c / qd + c * c);
            out.b0 = (float) ((1.0 + c * c) * n);
            out.b1 = (float) (2.0 * (1.0 - c * c) * n);
            out.b2 = out.b0;
            out.a1 = out.b1;
            out.a2 = (float) ((1.0 - c / qd + c * c) * n);
            break;
        }

        default:
        {
            const double c = 1.0 / std::tan (w);
            const double n = 1.0 / (1.0 + c / qd + c * c);
            out.b0 = (float) (c / qd * n);
            out.b1 = 0.0f;
            out.b2 = -out.b0;
            out.a1 = (float) (2.0 * (1.0 - c * c) * n);
            out.a2 = (float) ((1.0 - c / qd + c * c) * n);
            break;
        }
    }

    ++out.version;
}

//============================================================================== modulation sources
namespace
{
    void selectSource (ZorvaluneAudioProcessor& p, int slot, int code)
    {
        if (p.wrapperType == juce::AudioProcessor::wrapperType_Standalone && (code == 6 || code == 7))
            code = 0;

        (slot == 1 ? p.mod1Source : p.mod2Source) = code;

        // Starting a timer may allocate and lock: from any other thread than
        // the message thread (the audio thread applies the sequencer's steps)
        // it is handed over, as the MIDI input's opening is.
        if (code == 6)
            p.runOnMessageThread (audio_thread_requests::startWatchdog, [&p] { p.startTimer (100); });

        if (code == 8)
            p.enableMidiReceive();

        if ((unsigned) code <= 4u)
            (slot == 1 ? p.lfo1Waveform : p.lfo2Waveform) = lfoWaveformForSource[code];

        p.parameterValues[slot == 1 ? (size_t) mod1Src : (size_t) mod2Src].exchange ((float) code / 100.0f);
        p.notifyEditor();
    }
}

// The panels' door.
void ZorvaluneAudioProcessor::setMod1Source (int code)
{
    selectSource (*this, 1, code);
    latencyReport.ask();
}

void ZorvaluneAudioProcessor::setMod2Source (int code) { selectSource (*this, 2, code); }

//============================================================================== tempo lock
// After tempoBpm changed: each LFO with a tempo-sync choice takes the rate of
// its beat fraction, and the host hears of it.
void ZorvaluneAudioProcessor::calc_delay_times()
{
    if (! (tempoBpm.load() > 0.0f))
        return;

    const auto lock = [this] (std::atomic<int>& syncIndex, std::atomic<float>& hz, int parameter)
    {
        const int key = syncIndex.load();

        if (key == 0)
            return;

        const auto it = sBeatFractions.find (key);
        const float beats = it != sBeatFractions.end() ? it->second : 0.0f;

        if (! (beats > 0.0f))
            return;

        hz = tempoBpm.load() / 60.0f / beats;
        currentProgram = 0;
        tellHostOfEdit (parameter, hz.load() / 400.0f);
        ++editorNotifyCounter;
    };

    lock (lfo1SyncIndex, lfo1Hz, lfo1Freq);
    lock (lfo2SyncIndex, lfo2Hz, lfo2Freq);
    ++editorNotifyCounter;
}
