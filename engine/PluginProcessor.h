#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "audio_thread_log.h"
#include "audio_thread_requests.h"
#include "channel_chain.h"
#include "channel_state.h"
#include "coefficient_handoff.h"
#include "filter_coefficients.h"
#include "latency_report.h"
#include "message_thread_timer.h"
#include "parameter_table.h"
#include "shared_text.h"
#include "side_chain_store.h"
#include "step_snapshots.h"

class ZorvaluneAudioProcessorEditor;

namespace MIDI_WRAPPER { class midi_wrapper; }
namespace platform::cloud_documents { struct document_list; }

// One plug-in instance. It uses the framework's index-based parameter
// interface: 48 parameters stored normalised in `parameterValues`.
class ZorvaluneAudioProcessor : public juce::AudioProcessor,
                                public juce::Timer
{
public:
    static constexpr int MAX_CHANNELS = 24;
    static constexpr int NUM_PARAMETERS = parameter_table::numParameters;
    static constexpr int NUM_STEPS = 8;
    static constexpr int NUM_SIDE_CHAIN_SLOTS = 16;

    // Blocks up to this length (or the host's announced maximum, if larger)
    // find every buffer of the audio path already allocated.
    static constexpr int minimumBlockCapacity = 4096;

    using filter_coefficients = ::filter_coefficients;
    using channelComprStateT = channel_state;
    using timestampedBuffer = ::timestampedBuffer;
    using extSideChainSlot = ::extSideChainSlot;

    // The side-chain slots shared by every instance in the process.
    static extSideChainSlot sExtSideChainData[NUM_SIDE_CHAIN_SLOTS];

    // A slot index names a slot only within 0..15; anything else means none.
    static bool isSideChainSlot (int slot) noexcept { return slot >= 0 && slot < NUM_SIDE_CHAIN_SLOTS; }

    // The settings that setParameter writes for the audio path, as one block
    // copies them: a coefficient set's `version` here counts how often it was
    // rewritten since the previous block (0 = unchanged).
    struct block_settings
    {
        float lfo1Hz = 1.0f, lfo2Hz = 1.0f;
        int historyRingLength = 0;
        filter_coefficients inputHighPassCoeffs, inputLowPassCoeffs, noiseFilterCoeffs, pitchLowPassCoeffs;
    };

    // One entry of the history ring: a level per row and rows of block samples.
    struct ringbuf_data
    {
        std::vector<float> rms = std::vector<float> (16, 0.0f);
        std::vector<float> samples = std::vector<float> (2048, 0.0f);

        // Row r for blocks of n samples, or null when the storage (reserved by
        // prepareToPlay) does not reach that far.
        float* row (int r, int n) noexcept
        {
            if (r < 0 || n <= 0 || (size_t) (r + 1) * (size_t) n > samples.size())
                return nullptr;

            return samples.data() + (size_t) r * (size_t) n;
        }

        const float* row (int r, int n) const noexcept { return const_cast<ringbuf_data*> (this)->row (r, n); }
    };

    ZorvaluneAudioProcessor();
    ~ZorvaluneAudioProcessor() override;

    using juce::AudioProcessor::processBlock;
    using juce::AudioProcessor::processBlockBypassed;
    using juce::AudioProcessor::getParameterName;
    using juce::AudioProcessor::getParameterText;

    //==============================================================================
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;   // defined beside the editor
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    void numChannelsChanged() override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    //============================================================================== parameters
    int getNumParameters() override;
    const juce::String getParameterName (int index) override;
    juce::String getParameterID (int index) override;
    float getParameter (int index) override;
    const juce::String getParameterText (int index) override;
    float getParameterDefaultValue (int index) override;
    void setParameter (int index, float newValue) override;
    bool isParameterAutomatable (int index) const override;

    float getParameterValue (int index);
    static float parameterValue2Plugin (int index, float pluginValue);

    //============================================================================== timer
    // The watchdog's tick. The framework timer we are in name ticks through a
    // message_thread_timer instead, so that any thread may destroy us.
    void timerCallback() override;
    void startTimer (int intervalMs) { watchdog.start (intervalMs); }
    void stopTimer() { watchdog.stop(); }
    bool isTimerRunning() const noexcept { return watchdog.isRunning(); }
    int getTimerInterval() const noexcept { return watchdog.getInterval(); }

    //============================================================================== modulation and sequencer
    void setMod1Source (int source);
    void setMod2Source (int source);
    void calc_delay_times();
    void sequencerOn (int how);
    void sequencerStepBtnPushed (int step);
    // The processor's side of the SAVE button: arms, stores and disarms step recording.
    void sequencerSaveBtnPushed();
    void calc_filter_coeffs (int type, float frequency, filter_coefficients& out);
    static void noiseFilterDesign (int type, float frequency, float qValue, float rate, filter_coefficients& out);
    void enableMidiReceive();
    // The MIDI input's filter, on the MIDI thread: posts what passes.
    void midiReceiveCallback (int status, int channel, int data1, int data2);

    // Restarts the oscillators of every channel at phase 0 when the next block
    // starts. Any thread; the audio thread carries it out.
    void requestOscillatorRestart() noexcept { oscillatorRestartPending.store (true); }

    //============================================================================== side chain between instances
    // Fetches into ring row `row` the block that `slot` holds for one block
    // before `time`; returns the link status.
    int getReceivingSideChainData (juce::int64 time, int useHostTime, int slot, int row);

    //============================================================================== user presets
    // All of these run on the message thread.
    juce::File getPresetDir (int local);
    juce::String getFullPathOfPreset (const juce::String& name);

    // The name that `file` is listed under now, or would be once written;
    // empty when its folder is not a preset folder in use (a cloud folder gone).
    juce::String presetNameOfFile (const juce::File& file);
    std::set<juce::String>& getUserPresetNames (int rebuild);
    int getUserPresetIndx (const juce::String& name);

    // True while unsuffixed presets live in the cloud folder and local ones carry ".local".
    bool cloudFolderInUse() const;

    // Notices the cloud folder vanishing or coming back, and lists the presets
    // anew when it did; true then.
    bool followCloudFolder();

    // Whether presets go to the cloud folder, in a few words for the name panel.
    juce::String cloudStatusText();

    // Why `name` cannot be written as a preset, in a few words for the name
    // panel; empty when it can.
    juce::String checkPresetName (const juce::String& name);

    // 0 when loaded (or when the name is not listed), -1 when its file is
    // missing, -2 when the file holds no settings text; a failed load changes nothing.
    int loadUserPreset (const juce::String& name);

    // Writes the current settings as preset `name`, which becomes the current
    // preset; false (logged, nothing changed, the old file intact) when the
    // name is refused or the write fails.
    bool writeUserPreset (const juce::String& name);

    // Writes the current settings back to the file the current preset came
    // from, which its name may no longer lead to once the cloud folder has
    // gone or come back; why not, in a few words for the user, when that
    // file's folder is gone (nothing written then) or the write fails.
    juce::String saveCurrentUserPreset();

    // Deletes the file of the listed preset `name` and drops the name.
    bool removeUserPreset (const juce::String& name);

    // Writes the current settings as the default file read at start.
    bool saveDefaultSettings();

    // Writes every missing "factory:" copy of the factory presets; returns how many.
    int copyFactoryPresets();

    //============================================================================== cloud preset folder
    // The file-list callback that this processor's document scanner reports to.
    std::function<void (void*, std::shared_ptr<const platform::cloud_documents::document_list>)> get_iCloudContainerCallback();

    //============================================================================== editor link
    // Asks the open editor, if any, to refresh. Safe from any thread: it only
    // raises a flag that the editor collects on the message thread.
    void notifyEditor() noexcept;

    // Collected by the editor on the message thread; true once per request burst.
    bool takeEditorRefreshRequest() noexcept { return editorRefreshPending.exchange (false); }

    // Runs `task` on the message thread later, unless this processor has been
    // deleted by then.
    void postToMessageThread (std::function<void (ZorvaluneAudioProcessor&)> task);

    // Runs `task` now when called on the message thread (or by the
    // constructor), else posts it there.
    void callOnMessageThread (std::function<void (ZorvaluneAudioProcessor&)> task);

    static bool isMessageThread()
    {
        const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
        return messageManager != nullptr && messageManager->isThisTheMessageThread();
    }

    // True on the message thread, and on a thread that holds the message
    // manager's lock (plug-in wrappers delete us under it): the message thread
    // then runs none of our callbacks.
    static bool messageThreadIsStill()
    {
        const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
        return messageManager == nullptr || messageManager->currentThreadHasLockedMessageManager();
    }

    // What our editor tells the host of its own edits: a new value (which it
    // also sets), and a drag's start and end. An LV2 host hears of them from
    // the audio thread, at the next block.
    void tellHostOfEdit (int index, float normalised);
    void tellHostOfGesture (int index, bool starting);

    // Writes the audio thread's pending diagnostic lines now (message thread).
    void flushAudioThreadDiagnostics() { audioThreadLog.flush(); }

    // Runs now what other threads left for the message thread (a step caught
    // while being stored, filter designs, the watchdog start, the MIDI input);
    // a timer does it every 10 ms anyway.
    void handleAudioThreadRequests() { audioThreadRequests.collect(); }

    // Does `action` at once on the message thread; from any other thread it
    // leaves request `k` for the message thread instead (never allocating).
    template <typename Action>
    void runOnMessageThread (audio_thread_requests::kind k, Action&& action)
    {
        if (isMessageThread())
            action();
        else
            audioThreadRequests.post (k);
    }

    //============================================================================== fields
    // Written by prepareToPlay; filter designs on any thread read it.
    std::atomic<float> sampleRate { 48000.0f };
    int blockSize = 1024;
    int mainInputChannels = 0;
    int totalInputChannels = 0;

    std::array<std::atomic<float>, NUM_PARAMETERS> parameterValues {};
    std::array<float, NUM_PARAMETERS> blockParameterValues {};
    std::array<float, NUM_PARAMETERS> prevBlockParameterValues {};
    // The sequencer mode and skip mode of blockParameterValues, for the
    // sequencer's readers on other threads.
    std::atomic<float> blockSeqMode { 0.0f }, blockSeqSkipMode { 0.0f };

    std::array<channelComprStateT, MAX_CHANNELS> channelStates;
    std::array<float, MAX_CHANNELS> channelWeights {};

    // Written by setParameter on any thread, copied by the block frame.
    coefficient_handoff noiseFilterCoeffs, pitchLowPassCoeffs, inputHighPassCoeffs, inputLowPassCoeffs;
    juce::SmoothedValue<float> tapeRotationSmoother;
    std::atomic<float> tapeWobbleRate { 0.0f };

    std::atomic<int> mod1Source { 0 }, mod2Source { 0 };
    std::atomic<int> mod1Destination { 0 }, mod2Destination { 0 };
    std::atomic<float> lfo1Hz { 1.0f }, lfo2Hz { 1.0f };
    // The waveform each slot's oscillators run: chosen on any thread, taken
    // by the channels at the start of a block.
    std::atomic<int> lfo1Waveform { LFO::sine }, lfo2Waveform { LFO::sine };
    std::atomic<int> lfo1SyncIndex { 0 }, lfo2SyncIndex { 0 };
    std::atomic<float> tempoBpm { 0.0f };
    std::atomic<float> hostBpm { 120.0f };

    std::atomic<int> side_chan_mod1 { 0 }, side_chan_mod2 { 0 };
    std::atomic<int> mod1LinkStatus { 0 }, mod2LinkStatus { 0 };
    std::atomic<float> mod1DisplayValue { 0.0f }, mod2DisplayValue { 0.0f };

    std::atomic<int> clipCount { 0 }, outputOverloadCount { 0 }, channelResetCount { 0 };
    std::atomic<int> processBlockCounter { 0 };
    int lastWatchdogBlockCount = 0;

    // Block frame.
    std::array<float, NUM_PARAMETERS> blockRawParameterValues {};
    block_settings blockSettings;
    int transportWasPlaying = 0;
    juce::int64 lastBlockHostTime = 0;
    juce::int64 stoppedSamplePosition = 0;

    // History ring.
    std::vector<ringbuf_data> historyRing;
    int historyRingIndex = 0;
    int historyRingLength = 0;
    float sideChainPrevRms = 0.0f;

    // Step sequencer.
    step_snapshot_store<NUM_STEPS, NUM_PARAMETERS> stepSnapshots;

    // Stores step `step` whole, as `edit` makes it from its present values, and
    // designs the filter sets it will need. Any thread but the audio thread.
    template <typename Edit>
    void storeStep (int step, Edit&& edit)
    {
        stepSnapshots.store (step, std::forward<Edit> (edit));
        prepareStepDesigns (step);
    }

    // Per step, the coefficient sets its values need, ready to be swapped in
    // on the audio thread, with the values and the rate they were designed
    // from (a step they no longer match has its sets designed afterwards).
    static constexpr int numDesignedSets = 4;
    static constexpr int numDesignInputs = 6;
    static constexpr int numStepDesignValues = numDesignedSets * 5 + numDesignInputs + 1;
    step_snapshot_store<NUM_STEPS, numStepDesignValues> stepDesigns;
    std::atomic<int> stepStates[NUM_STEPS][2] {};
    int stepSelectMark = 65536;
    std::atomic<int> currentStep { 0 };
    std::atomic<int> stepRecordState { 0 };
    std::atomic<int> sequencerRunning { 0 };
    int stepSampleCounter = 0;
    std::atomic<int> stepLengthSamples { 10000 };
    // One flag per parameter touched while recording is armed.
    std::atomic<std::uint64_t> touchedParameters { 0 };

    // Presets.
    std::atomic<int> currentProgram { -1 };
    // Written on the message thread; a host may save state on another.
    shared_text currentUserPreset;
    int currentUserPresetIndex = -1;
    // The file the current preset was last loaded from or written to, and its
    // name then: a session may name another preset since. Message thread.
    struct { juce::String name; juce::File file; } currentUserPresetSource;
    std::set<juce::String> userPresetNames;
    std::atomic<int> presetModified { 0 };
    std::atomic<int> editorNotifyCounter { 0 };
    std::atomic<int> pluginResizedW { 0 }, pluginResizedH { 0 };
    int iCloudAvailable = 1;
    std::string iCloudDocumentsPath;
    // False while the cloud folder is gone: presets are then local, as without a cloud.
    bool cloudFolderPresent = true;

    // MIDI settings: the MIDI thread reads them.
    std::atomic<int> midi_progr_change_mode { 0 };
    std::atomic<int> midi_CC_receive_mode { 0 };
    std::atomic<int> midi_progr_change_channel { -1 };
    std::unique_ptr<MIDI_WRAPPER::midi_wrapper> midiWrapper;

    // Every editor refresh request since construction (diagnostics and tests).
    std::atomic<int> editorRefreshRequests { 0 };

private:
    // What an LV2 host is to hear from the audio thread at the next block, one bit per parameter.
    std::atomic<std::uint64_t> hostValuesOwed { 0 }, hostGesturesBegun { 0 }, hostGesturesEnded { 0 };

    static BusesProperties makeBuses();
    bool hostKeepsFirstChannelCounts() const;
    void applyNoiseLowCut();

    // The coefficient sets that parameters shape (processor_parameters.cpp).
    using parameter_values = std::array<float, NUM_PARAMETERS>;
    struct designed_set { coefficient_handoff ZorvaluneAudioProcessor::* live; int inputs[3]; };
    static const designed_set designedSets[numDesignedSets];
    static int designedSetOf (int parameterIndex) noexcept;
    static void designSet (int set, const parameter_values& values, float rate, filter_coefficients& out);
    parameter_values currentParameterValues() const;
    void designFilter (int parameterIndex);
    void storeParameter (int index, float value, bool designFilters);

    // Step designs and the sets left to the message thread (processor_sequencer.cpp).
    void prepareStepDesigns (int step);
    void designPendingSets();
    std::atomic<int> pendingDesigns { 0 };
    std::atomic<int> lateStepIndex { 0 };
    void recountChannels (int& outputChannels);
    int tapeDelay();
    int expectedDelay();
    void measureDelay (int numSamples, int delay) noexcept;
    void delayBypassedChannels (juce::AudioBuffer<float>& buffer, int numSamples) noexcept;
    void updateStepLength (int changedIndex);
    void recordTouchedParameter (int index);
    void sequencerStepTask();
    void applyStepSnapshot (int step);
    void handleAudioThreadRequest (audio_thread_requests::kind);
    // What the host hears of us besides the audio (processor_host_link.cpp).
    void tellHostAllParameterValues();
    void tellHostOnAudioThread();
    void tellHostOfProgramChange();
    void tellVst3HostWhileThisThreadWaits();
    std::array<float, NUM_PARAMETERS> factoryPresetValues (int index);
    void readDefaultSettings();
    // The file the current preset came from; for a name a session restored,
    // the one that name leads to.
    juce::File currentUserPresetFile();
    juce::File defaultSettingsFile();
    int mainBusChannelCount (bool isInput) const;
    void reserveAudioMemory (int channels, int maximumBlockSize);

    // The cloud preset folder (presets/cloud_watcher.cpp).
    void startCloudLookup();
    void stopCloudScanner();

    // Block frame (processor_block.cpp).
    struct host_position { double bpm = 120.0; juce::int64 timeInSamples = 0; bool playing = false; };
    host_position readHostPosition() const;
    void takeParameterSnapshot (bool sequencerSettings);
    void takeBlockSettings (bool consumeVersions);
    bool handleTransport (bool playing, int numSamples);
    void startCoefficientRamps();
    void updateChannelCounts (int mainBusChannels, int totalIn, int totalOut, bool bypassed = false);
    void fillChainBlockValues (const juce::AudioBuffer<float>& buffer, int numSamples, const ringbuf_data* entry);
    void takeLfoWaveforms();
    void reportChainResults();

    // Step sequencer clock (processor_sequencer.cpp).
    void runSequencerStepClock (int numSamples);

    // The modulation routing of one block, read once at its start, so that a
    // source or slot switched meanwhile on another thread cannot change what
    // the rest of the block reads or writes. A slot of -1 is none.
    struct block_routing { int mod1Source = 0, mod2Source = 0, slot1 = -1, slot2 = -1; };
    void takeBlockRouting();
    block_routing blockRouting;

    // Side chain between instances (processor_sidechain.cpp).
    void clearSideChainSlots();
    void sendSideChainBlock (const juce::AudioBuffer<float>& buffer, int numSamples, juce::int64 time, int slot);

    // History ring (processor_bypass.cpp).
    ringbuf_data* setUpHistoryRing (int numSamples);
    void advanceHistoryRing();
    void measureSideChainLevel (const juce::AudioBuffer<float>& buffer, int numSamples, ringbuf_data* entry);

    // The coefficient versions the block frame took last, in the order
    // input high-pass, input low-pass, noise filter, clip low-pass.
    std::array<std::uint64_t, 4> seenCoefficientVersions {};

    chain_block_values chainValues;
    chain_block_results chainResults;
    chain_scratch chainScratch {};
    int preparedChannels = 0;
    int preparedBlockCapacity = 0;
    audio_thread_log audioThreadLog;

    std::atomic<bool> editorRefreshPending { false };
    std::atomic<bool> oscillatorRestartPending { false };
    // Set after a program change or a restored state; the next block restarts
    // every channel's noise from its seed.
    std::atomic<bool> noiseRestartPending { false };

    // Step changes and other requests from threads that must not allocate or
    // wait; collected on the message thread.
    audio_thread_requests audioThreadRequests { [this] (audio_thread_requests::kind k)
    {
        whileAlive (aliveToken, [k] (ZorvaluneAudioProcessor& p) { p.handleAudioThreadRequest (k); });
    } };

    // The delay the listener gets, told to the host once it has settled.
    latency_report latencyReport { [this] (int delay)
    {
        whileAlive (aliveToken, [delay] (ZorvaluneAudioProcessor& p) { p.setLatencySamples (delay); });
    } };

    // Its tick reads and clears atomics only; message-thread tasks start it under the alive token's lock.
    message_thread_timer watchdog { [this] { timerCallback(); } };

    // Lets tasks posted to the message thread, and callbacks on other threads,
    // find out whether we still exist. They run under its lock, and the
    // destructor clears the pointer under it: it waits for one in progress,
    // and none reaches us afterwards, whatever thread destroys us.
    struct AliveToken
    {
        std::recursive_mutex lock;
        // Held instead by callbacks on threads that a message-thread task may
        // wait for (the MIDI services' own), so that the two never wait for
        // each other; `processor` is written under both.
        std::mutex otherThreadLock;
        ZorvaluneAudioProcessor* processor = nullptr;
    };
    std::shared_ptr<AliveToken> aliveToken;

    // Runs `task` on the processor behind `weak` if it is still alive; false when it is gone.
    template <typename Task>
    static bool whileAlive (const std::weak_ptr<AliveToken>& weak, Task&& task)
    {
        return whileHolding (weak, &AliveToken::lock, task);
    }

    // As whileAlive, for callbacks on the MIDI services' threads.
    template <typename Task>
    static bool whileAliveOffMessageThread (const std::weak_ptr<AliveToken>& weak, Task&& task)
    {
        return whileHolding (weak, &AliveToken::otherThreadLock, task);
    }

    template <typename Mutex, typename Task>
    static bool whileHolding (const std::weak_ptr<AliveToken>& weak, Mutex AliveToken::* lock, Task& task)
    {
        const auto token = weak.lock();

        if (token == nullptr)
            return false;

        const std::lock_guard<Mutex> hold ((*token).*lock);

        if (token->processor == nullptr)
            return false;

        task (*token->processor);
        return true;
    }

    bool constructing = true;

    // The host processes with the main channel counts it read at creation,
    // whatever layout it asks for later (set by the constructor).
    bool mainLayoutFixed = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZorvaluneAudioProcessor)
};
