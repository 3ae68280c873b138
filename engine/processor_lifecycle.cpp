#include "PluginProcessor.h"

#include "chain_setup.h"
#include "framework_lifetime.h"
#include "lane_math.h"

#include "../platform/cloud_documents.h"
#include "../platform/system_log.h"
#include "../platform/user_defaults.h"
#include "../presets/factory_presets.h"
#include "../presets/midi_wrapper.h"
#include "../presets/preference_keys.h"

int ZorvaluneAudioProcessor::mainBusChannelCount (bool isInput) const
{
    const auto* bus = getBus (isInput, 0);
    return bus != nullptr ? bus->getNumberOfChannels() : 0;
}

// Stereo main buses by default: a host then runs one instance for a stereo track, so every
// setting and preset reaches both channels (an LV2's ports are fixed by this layout). Hosts
// that negotiate may still ask for any equal count. The side chain waits for a host to route one.
juce::AudioProcessor::BusesProperties ZorvaluneAudioProcessor::makeBuses()
{
    return BusesProperties()
        .withInput ("Input", juce::AudioChannelSet::stereo(), true)
        .withOutput ("Output", juce::AudioChannelSet::stereo(), true)
        .withInput ("Sidechain", juce::AudioChannelSet::mono(), false);
}

ZorvaluneAudioProcessor::ZorvaluneAudioProcessor()
    : juce::AudioProcessor (makeBuses()),
      aliveToken (std::make_shared<AliveToken>())
{
    aliveToken->processor = this;
    mainLayoutFixed = hostKeepsFirstChannelCounts();

    channelWeights.fill (1.0f);

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        parameterValues[(size_t) i].exchange (getParameterDefaultValue (i));

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        setParameter (i, parameterValues[(size_t) i].load());

    if (wrapperType == wrapperType_Standalone)
    {
        using platform::user_defaults::getInteger;
        midi_progr_change_mode = getInteger (preference_keys::midiProgramChangeMode);
        midi_progr_change_channel = getInteger (preference_keys::midiChannel);
        midi_CC_receive_mode = getInteger (preference_keys::midiControlChangeMode);
        postToMessageThread ([] (ZorvaluneAudioProcessor& p) { MIDI_WRAPPER::saveMidiPrefsTask (p); });
    }

    iCloudAvailable = platform::cloud_documents::hasIdentityToken() ? 1 : 0;
    std::printf ("\nZorvalune iCloud : token = %d  \n", iCloudAvailable);

    // Our cloud layer knows its folder at once: the listing and the default
    // file find it before the lookup has answered.
    if (iCloudAvailable == 1)
        iCloudDocumentsPath = platform::cloud_documents::documentsFolder().getFullPathName().toStdString();

    getUserPresetNames (1);
    readDefaultSettings();

    presetModified = 0;
    channelWeights.fill (1.0f);

    applyNoiseLowCut();
    audioThreadLog.startFlushing();

    // The LV2 client reads the delay on the audio thread, after every block.
    if (wrapperType == wrapperType_LV2)
        latencyReport.collectOnAudioThread();

    // Known before the first prepareToPlay, for hosts that ask before they activate us.
    latencyReport.tell (expectedDelay());
    constructing = false;

    // Last, as its answer may reach the message thread at once. The listing
    // turned the cloud off when its folder cannot be used.
    if (iCloudAvailable == 1)
        startCloudLookup();
}

namespace
{
    // The message thread's timers may be deleted only where it is still:
    // elsewhere one may be about to run. What owns one is handed over.
    template <typename Object>
    void deleteOnMessageThread (std::unique_ptr<Object> object)
    {
        if (object == nullptr || ZorvaluneAudioProcessor::messageThreadIsStill())
            return;

        std::shared_ptr<Object> handedOver (std::move (object));
        juce::MessageManager::callAsync ([handedOver] {});   // a failed post deletes it here
    }
}

// Hosts destroy instances on any thread, at any moment. A callback of ours
// under way is waited for, and none starts afterwards; nothing else is.
ZorvaluneAudioProcessor::~ZorvaluneAudioProcessor()
{
    // Posted tasks, MIDI messages, cloud answers and timer ticks find nobody home from now on.
    {
        const std::lock_guard<std::recursive_mutex> hold (aliveToken->lock);
        const std::lock_guard<std::mutex> holdToo (aliveToken->otherThreadLock);
        aliveToken->processor = nullptr;
    }

    // The timers touch members of their own: they stop before anything goes.
    stopTimer();
    audioThreadRequests.stop();
    audioThreadLog.stopFlushing();
    latencyReport.stop();

    stopCloudScanner();
    deleteOnMessageThread (std::move (midiWrapper));
}

// The noise low-cut is a fixed 120 Hz high-pass, designed at construction and
// again for every new rate.
void ZorvaluneAudioProcessor::applyNoiseLowCut()
{
    filter_coefficients lowCut;
    butterworth::highPass (120.0, sampleRate, lowCut);

    for (auto& channel : channelStates)
        channel.noiseLowCut.startRamp (lowCut);
}

//==============================================================================
const juce::String ZorvaluneAudioProcessor::getName() const { return "Zorvalune"; }
void ZorvaluneAudioProcessor::releaseResources() {}
double ZorvaluneAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool ZorvaluneAudioProcessor::acceptsMidi() const { return false; }
bool ZorvaluneAudioProcessor::producesMidi() const { return false; }
bool ZorvaluneAudioProcessor::isMidiEffect() const { return false; }
bool ZorvaluneAudioProcessor::hasEditor() const { return true; }

void ZorvaluneAudioProcessor::recountChannels (int& outputChannels)
{
    mainInputChannels = mainBusChannelCount (true);
    outputChannels = mainBusChannelCount (false);
    totalInputChannels = getTotalNumInputChannels();
}

void ZorvaluneAudioProcessor::prepareToPlay (double newSampleRate, int maximumExpectedSamplesPerBlock)
{
    const float previousRate = sampleRate;

    if (newSampleRate > 0.0)
        sampleRate = (float) newSampleRate;

    if (maximumExpectedSamplesPerBlock > 0)
        blockSize = maximumExpectedSamplesPerBlock;

    int outputChannels = 0;
    recountChannels (outputChannels);

    if (mainInputChannels > MAX_CHANNELS)
        mainInputChannels = MAX_CHANNELS;

    if (totalInputChannels > MAX_CHANNELS)
    {
        totalInputChannels = MAX_CHANNELS;
        platform::system_log::notice ("Zorvalune prepareToPlay  In chan %d  total In %d  >  MAX_CHANNELS !!!!!!   ",
                                      mainInputChannels, MAX_CHANNELS);
    }

    // The tape starts at the rate set, not gliding there: the delay is then
    // the one reported below from the first block on.
    tapeRotationSmoother.reset ((int) std::floor (sampleRate / (float) blockSize * 0.3f));
    tapeRotationSmoother.setCurrentAndTargetValue (getParameterValue (parameter_table::tapeRotation));

    reserveAudioMemory (mainInputChannels, blockSize);
    lane_math::chooseInstructionSet();

    // Hosts usually restore a project before they prepare it: whatever was
    // designed for another rate is designed again for this one.
    if (sampleRate != previousRate)
    {
        using namespace parameter_table;

        for (int index : { inHighPassFreq, inLowPassFreq, noiseFilterFreq, pitchLowPassFreq })
            designFilter (index);

        applyNoiseLowCut();
        updateStepLength (seqNrBars);

        for (int step = 0; step < NUM_STEPS; ++step)
            prepareStepDesigns (step);
    }

    platform::system_log::noticeAndPrint ("\nZorvalune prepareToPlay  In chan %d  Out chan %d  total In %d\n",
                                          mainInputChannels, outputChannels, totalInputChannels);

    // The dry starts at the delay its settings give, and the host is told
    // so: whatever it was gliding to, or wherever the tape was left, the
    // next block plays what is told here. Last, as a host may prepare us
    // again from inside this call.
    const int tape = tapeDelay();

    for (auto& state : channelStates)
        state.dryDelaySamples = tape;

    latencyReport.tell (expectedDelay());
}

// The delay the tape's settings give, as the chain works it out for its dry.
int ZorvaluneAudioProcessor::tapeDelay()
{
    using namespace parameter_table;

    return chain_setup::tapeDelayOf (parameterValues[(size_t) tapeFreqDelta].load(), parameterValues[(size_t) tapeOn].load() > 0.5f,
                                     getParameterValue (tapeRotation), sampleRate, channelStates[0].PitchNrSamples);
}

// The delay the listener gets at the present settings: the tape's, or none
// where an instance sends its side chain and passes its audio straight through.
int ZorvaluneAudioProcessor::expectedDelay()
{
    if (mod1Source.load() == 6 && isSideChainSlot (side_chan_mod1.load()))
        return 0;

    return tapeDelay();
}

// Everything the audio thread writes into is sized here, so that processBlock
// never allocates: the channel states in use, and the history ring's rows for
// every channel plus the side-chain rows at the largest block we expect.
void ZorvaluneAudioProcessor::reserveAudioMemory (int channels, int maximumBlockSize)
{
    preparedChannels = juce::jlimit (0, MAX_CHANNELS, juce::jmax (preparedChannels, channels));

    for (int c = 0; c < preparedChannels; ++c)
        channelStates[(size_t) c].prepare (sampleRate);

    preparedBlockCapacity = juce::jmax (preparedBlockCapacity, maximumBlockSize, minimumBlockCapacity);
    const auto rows = (size_t) (MAX_CHANNELS + 4);

    while ((int) historyRing.size() < historyRingLength + 1)
        historyRing.emplace_back();

    for (auto& entry : historyRing)
    {
        if (entry.rms.size() < rows)
            entry.rms.resize (rows, 0.0f);

        if (entry.samples.size() < rows * (size_t) preparedBlockCapacity)
            entry.samples.resize (rows * (size_t) preparedBlockCapacity, 0.0f);
    }
}

void ZorvaluneAudioProcessor::numChannelsChanged()
{
    int outputChannels = 0;
    recountChannels (outputChannels);
    platform::system_log::notice ("\nZorvalune numChannelsChanged  In chan %d  Out chan %d  total In %d\n",
                                  mainInputChannels, outputChannels, totalInputChannels);
}

bool ZorvaluneAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const int channels = layouts.getMainInputChannels();

    if (mainLayoutFixed && channels != mainBusChannelCount (true))
        return false;

    return channels == layouts.getMainOutputChannels();
}

// Ardour's VST3 host (its editor and its headless session tool alike) asks a
// mono track's plug-in for one channel, then hands it as many as it read when
// it created the instance; the framework's wrapper answers any such mismatch
// with silence. Kept at its first layout, the plug-in sounds there.
bool ZorvaluneAudioProcessor::hostKeepsFirstChannelCounts() const
{
    return wrapperType == wrapperType_VST3
        && (juce::PluginHostType().isArdour() || juce::PluginHostType::getHostPath().containsIgnoreCase ("ardour"));
}

//============================================================================== programs
int ZorvaluneAudioProcessor::getNumPrograms() { return (int) sPresets.list.size(); }

int ZorvaluneAudioProcessor::getCurrentProgram() { return juce::jmax (0, currentProgram.load()); }

void ZorvaluneAudioProcessor::setCurrentProgram (int index)
{
    editorNotifyCounter = 0;

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        setParameter (i, parameterValues[(size_t) i].load());

    const auto working = factoryPresetValues (index);

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        setParameter (i, working[(size_t) i]);

    noiseRestartPending = true;
    currentProgram = index;

    notifyEditor();
    ++editorNotifyCounter;

    tellHostOfProgramChange();
}

// Normalised values of factory preset `index`: its own values over the defaults.
std::array<float, ZorvaluneAudioProcessor::NUM_PARAMETERS> ZorvaluneAudioProcessor::factoryPresetValues (int index)
{
    std::array<float, NUM_PARAMETERS> values {};

    for (int i = 0; i < NUM_PARAMETERS; ++i)
        values[(size_t) i] = getParameterDefaultValue (i);

    if ((unsigned) index < sPresets.list.size())
        for (const auto& [parameter, value] : sPresets.list[(size_t) index].values)
            if (parameter >= 0 && parameter < NUM_PARAMETERS)
                values[(size_t) parameter] = parameterValue2Plugin (parameter, value);

    return values;
}

const juce::String ZorvaluneAudioProcessor::getProgramName (int index)
{
    if ((unsigned) index < sPresets.list.size())
        return juce::String (sPresets.list[(size_t) index].name);

    return juce::String (sPresets.name);
}

void ZorvaluneAudioProcessor::changeProgramName (int, const juce::String&) {}

//============================================================================== watchdog
void ZorvaluneAudioProcessor::timerCallback()
{
    const int blocks = processBlockCounter.load();

    if (blocks == lastWatchdogBlockCount)
    {
        mod1LinkStatus = 0;
        mod2LinkStatus = 0;
    }

    lastWatchdogBlockCount = blocks;
}

//============================================================================== editor link and message thread
void ZorvaluneAudioProcessor::notifyEditor() noexcept
{
    ++editorRefreshRequests;
    editorRefreshPending.store (true);
}

void ZorvaluneAudioProcessor::callOnMessageThread (std::function<void (ZorvaluneAudioProcessor&)> task)
{
    // Nobody else sees a processor under construction.
    if (constructing || isMessageThread())
        task (*this);
    else
        postToMessageThread (std::move (task));
}

void ZorvaluneAudioProcessor::postToMessageThread (std::function<void (ZorvaluneAudioProcessor&)> task)
{
    std::weak_ptr<AliveToken> weak = aliveToken;

    juce::MessageManager::callAsync ([weak, task = std::move (task)] { whileAlive (weak, task); });
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    if (juce::PluginHostType::jucePlugInClientCurrentWrapperType == juce::AudioProcessor::wrapperType_VST3)
        framework_lifetime::keepSetUpUntilUnloaded();   // the LV2's entry point keeps it up its own way

    return new ZorvaluneAudioProcessor();
}
