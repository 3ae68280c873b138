#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "platform/config_folder.h"
#include "platform/system_log.h"
#include "tests/log_capture.h"
#include "tests/message_pump.h"

#include <cmath>
#include <thread>

namespace
{
    using test_support::LogCapture;

    juce::AudioProcessor::BusesLayout layout (int in, int out, int side)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (juce::AudioChannelSet::discreteChannels (in));
        l.inputBuses.add (side > 0 ? juce::AudioChannelSet::discreteChannels (side) : juce::AudioChannelSet::disabled());
        l.outputBuses.add (juce::AudioChannelSet::discreteChannels (out));
        return l;
    }
}

TEST (ProcessorLifecycle, FreshInstanceReportsItsIdentity)
{
    ZorvaluneAudioProcessor p;
    EXPECT_EQ (p.getName(), "Zorvalune");
    EXPECT_EQ (p.getNumParameters(), 48);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.currentProgram.load(), -1);
    EXPECT_EQ (p.sampleRate, 48000.0f);
    EXPECT_EQ (p.blockSize, 1024);
    EXPECT_EQ (p.presetModified.load(), 0);
    EXPECT_EQ (p.stepSelectMark, 65536);
    EXPECT_EQ (p.mod2Source.load(), 1);
    EXPECT_FLOAT_EQ (p.lfo1Hz.load(), 0.5f);
    EXPECT_FLOAT_EQ (p.lfo2Hz.load(), 5.0f);
    EXPECT_FALSE (p.acceptsMidi());
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);

    for (float w : p.channelWeights)
        EXPECT_EQ (w, 1.0f);
}

TEST (ProcessorLifecycle, StereoMainBusesOnAndSideChainOffByDefault)
{
    // Every wrapper alike, the standalone application included.
    for (auto type : { juce::AudioProcessor::wrapperType_VST3, juce::AudioProcessor::wrapperType_LV2,
                       juce::AudioProcessor::wrapperType_Standalone })
    {
        auto& loadedAs = juce::PluginHostType::jucePlugInClientCurrentWrapperType;
        const auto saved = loadedAs;
        loadedAs = type;
        ZorvaluneAudioProcessor p;
        loadedAs = saved;

        ASSERT_EQ (p.getBusCount (true), 2);
        ASSERT_EQ (p.getBusCount (false), 1);
        EXPECT_EQ (p.getBus (true, 0)->getName(), "Input");
        EXPECT_EQ (p.getBus (true, 1)->getName(), "Sidechain");
        EXPECT_EQ (p.getBus (false, 0)->getName(), "Output");

        EXPECT_EQ (p.getBus (true, 0)->getDefaultLayout(), juce::AudioChannelSet::stereo());
        EXPECT_EQ (p.getBus (false, 0)->getDefaultLayout(), juce::AudioChannelSet::stereo());
        EXPECT_EQ (p.getBus (true, 1)->getDefaultLayout(), juce::AudioChannelSet::mono());

        EXPECT_TRUE (p.getBus (true, 0)->isEnabled());
        EXPECT_TRUE (p.getBus (false, 0)->isEnabled());
        EXPECT_FALSE (p.getBus (true, 1)->isEnabled());
        EXPECT_EQ (p.getTotalNumInputChannels(), 2);

        // A host that routes a side chain switches the bus on.
        EXPECT_TRUE (p.getBus (true, 1)->enable());
        EXPECT_EQ (p.getTotalNumInputChannels(), 3);
    }
}

TEST (ProcessorLifecycle, LayoutsNeedEqualMainInputAndOutput)
{
    ZorvaluneAudioProcessor p;
    EXPECT_TRUE (p.isBusesLayoutSupported (layout (2, 2, 2)));
    EXPECT_TRUE (p.isBusesLayoutSupported (layout (1, 1, 0)));
    EXPECT_TRUE (p.isBusesLayoutSupported (layout (6, 6, 1)));
    EXPECT_TRUE (p.isBusesLayoutSupported (layout (32, 32, 8)));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (1, 2, 2)));
}

TEST (ProcessorLifecycle, PrepareKeepsRateAndBlockOnZero)
{
    ZorvaluneAudioProcessor p;
    p.prepareToPlay (44100.0, 256);
    EXPECT_EQ (p.sampleRate, 44100.0f);
    EXPECT_EQ (p.blockSize, 256);
    p.prepareToPlay (0.0, 0);
    EXPECT_EQ (p.sampleRate, 44100.0f);
    EXPECT_EQ (p.blockSize, 256);
    EXPECT_EQ (p.mainInputChannels, 2);
    EXPECT_EQ (p.totalInputChannels, 2);
}

TEST (ProcessorLifecycle, ChannelCountsAboveTwentyFourAreClampedWithOneLogLine)
{
    ZorvaluneAudioProcessor p;
    ASSERT_TRUE (p.setBusesLayout (layout (32, 32, 0)));

    LogCapture log;
    p.prepareToPlay (48000.0, 512);
    EXPECT_EQ (p.mainInputChannels, 24);
    EXPECT_EQ (p.totalInputChannels, 24);
    EXPECT_EQ (log.count ("Zorvalune prepareToPlay  In chan 24  total In 24  >  MAX_CHANNELS !!!!!!   "), 1);
    EXPECT_EQ (log.count ("\nZorvalune prepareToPlay  In chan 24  Out chan 32  total In 24\n"), 1);

    p.prepareToPlay (48000.0, 512);
    EXPECT_EQ (log.count ("MAX_CHANNELS"), 2);
}

TEST (ProcessorLifecycle, OutOfRangeProgramMeansDefaults)
{
    ZorvaluneAudioProcessor p;
    p.setCurrentProgram (7);
    EXPECT_EQ (p.getCurrentProgram(), 7);
    EXPECT_EQ (p.getProgramName (7), "hell");

    p.setCurrentProgram (8);
    EXPECT_EQ (p.getCurrentProgram(), 8);
    EXPECT_EQ (p.getProgramName (8), "User Set");
    EXPECT_EQ (p.getProgramName (-1), "User Set");

    for (int i = 0; i < 48; ++i)
        EXPECT_EQ (p.getParameter (i), p.getParameterDefaultValue (i)) << i;

    p.setCurrentProgram (-3);
    EXPECT_EQ (p.getCurrentProgram(), 0);   // negative reads as 0
}

// A VST3 host re-reads every value when told of a program change: the values
// must reach it first, and both on the message thread, whoever changed the program.
TEST (ProcessorLifecycle, AProgramChangeOnAnotherThreadTellsTheHostOnTheMessageThreadValuesFirst)
{
    struct host_view : juce::AudioProcessorListener
    {
        std::vector<std::pair<int, float>> heard;   // index, value; -1 = program changed
        std::atomic<int> offTheMessageThread { 0 };

        void note (int index, float value)
        {
            if (! juce::MessageManager::getInstance()->isThisTheMessageThread())
                ++offTheMessageThread;
            else
                heard.emplace_back (index, value);
        }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override { note (index, value); }

        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
        {
            if (details.programChanged)
                note (-1, 0.0f);
        }
    };

    ZorvaluneAudioProcessor p;
    host_view host;
    p.addListener (&host);
    std::thread ([&] { p.setCurrentProgram (7); }).join();
    test_support::pumpMessages();
    p.removeListener (&host);

    EXPECT_EQ (host.offTheMessageThread.load(), 0);
    ASSERT_EQ (host.heard.size(), 49u);
    EXPECT_EQ (host.heard.back().first, -1);

    for (int i = 0; i < 48; ++i)
        EXPECT_EQ (host.heard[(size_t) i], (std::pair<int, float> { i, p.getParameter (i) })) << i;
}

TEST (ProcessorLifecycle, ProgramChangeRefreshesTheEditorAndCountsUp)
{
    ZorvaluneAudioProcessor p;
    p.takeEditorRefreshRequest();
    p.setCurrentProgram (3);
    EXPECT_TRUE (p.takeEditorRefreshRequest());
    EXPECT_EQ (p.editorNotifyCounter.load(), 2);   // the first set marked the preset modified
}

TEST (ProcessorLifecycle, WatchdogClearsLinkStatusWhenNoBlockRan)
{
    ZorvaluneAudioProcessor p;
    p.setMod1Source (6);
    EXPECT_TRUE (p.isTimerRunning());
    EXPECT_EQ (p.getTimerInterval(), 100);

    p.prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (16, 64);
    buffer.clear();
    juce::MidiBuffer midi;

    p.side_chan_mod1 = -1;   // no slot: the block sends nothing and leaves the statuses
    p.mod1LinkStatus = 1;
    p.mod2LinkStatus = 3;
    p.processBlock (buffer, midi);
    p.timerCallback();   // a block ran since the last tick: keep
    EXPECT_EQ (p.mod1LinkStatus.load(), 1);
    EXPECT_EQ (p.mod2LinkStatus.load(), 3);

    p.timerCallback();   // none since: clear
    EXPECT_EQ (p.mod1LinkStatus.load(), 0);
    EXPECT_EQ (p.mod2LinkStatus.load(), 0);
}

TEST (ProcessorLifecycle, NoiseLowCutIsDesignedForTheHostsRate)
{
    ZorvaluneAudioProcessor p;
    p.prepareToPlay (96000.0, 512);

    // Nothing ran yet, so each ramp starts from zero coefficients: its steps
    // add up to the 120 Hz high-pass for 96 kHz.
    const double pi = 3.14159265358979323846, k = std::tan (pi * 120.0 / 96000.0);
    const double n = 1.0 / (1.0 + std::sqrt (2.0) * k + k * k);

    for (auto& channel : p.channelStates)
    {
        EXPECT_TRUE (channel.noiseLowCut.enabled);
        EXPECT_EQ (channel.noiseLowCut.rampRemaining, 1024);
        EXPECT_NEAR (channel.noiseLowCut.b0Step * 1024.0f, (float) n, 1.0e-6f);
        EXPECT_NEAR (channel.noiseLowCut.a1Step * 1024.0f, (float) (2.0 * (k * k - 1.0) * n), 1.0e-6f);
    }
}

TEST (ProcessorLifecycle, PostedTasksNeverReachADeletedProcessor)
{
    int ran = 0;
    auto p = std::make_unique<ZorvaluneAudioProcessor>();
    p->postToMessageThread ([&] (ZorvaluneAudioProcessor&) { ++ran; });
    p->postToMessageThread ([&] (ZorvaluneAudioProcessor&) { ++ran; });
    test_support::pumpMessages();
    EXPECT_EQ (ran, 2);

    p->postToMessageThread ([&] (ZorvaluneAudioProcessor&) { ++ran; });
    p.reset();
    test_support::pumpMessages();
    EXPECT_EQ (ran, 2);
}

TEST (ProcessorLifecycle, DefaultSettingsFileIsAppliedAtConstruction)
{
    const auto folder = platform::configFolder().getChildFile ("Zorvalune/userPresets");
    const auto file = folder.getChildFile ("ZorvaluneDefault.json");
    ASSERT_TRUE (folder.createDirectory());
    ASSERT_TRUE (file.replaceWithText ("{ \"Dry Wet\": 0.5, \"currentUserPreset\": \"x\" }"));
    ASSERT_TRUE (folder.getChildFile ("My preset.json").replaceWithText ("{}"));

    {
        ZorvaluneAudioProcessor p;
        EXPECT_EQ (p.getParameter (0), 0.5f);
        EXPECT_EQ (p.currentUserPreset, "");
        EXPECT_EQ (p.currentUserPresetIndex, -1);
        EXPECT_EQ (p.presetModified.load(), 0);
        EXPECT_EQ (p.userPresetNames, (std::set<juce::String> { "My preset" }));
    }

    file.replaceWithText ("{");   // one byte: ignored
    {
        ZorvaluneAudioProcessor p;
        EXPECT_EQ (p.getParameter (0), 1.0f);
    }

    folder.deleteRecursively();
}
