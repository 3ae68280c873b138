#include "engine_test_support.h"

#include "chain_golden_reference.h"
#include "instruction_sets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <functional>

using namespace engine_test;

// The chain's output with every section on, in several routings, compared with
// what this code produced when the reference was taken. Work on the chain's
// speed must not change its sound beyond float rounding.
//
// To take a new reference (only after a deliberate change of the sound), run
//   ZORVALUNE_GOLDEN_CAPTURE=1 zorvalune_unit_tests --gtest_filter='ChainGolden*'
// and paste what it prints into chain_golden_reference.h.
namespace
{
    using configure_fn = std::function<void (ZorvaluneAudioProcessor&)>;
    using block_fn = std::function<void (ZorvaluneAudioProcessor&, int blockIndex)>;

    struct golden_case
    {
        const char* name;
        double rate;
        int channels;
        int sideChannels;
        int samples;
        std::vector<int> blocks;
        configure_fn configure;
        block_fn beforeBlock;
    };

    void set (ZorvaluneAudioProcessor& p, std::initializer_list<std::pair<int, float>> values)
    {
        for (const auto& [index, value] : values)
            p.setParameter (index, value);
    }

    // Every section on, with gains and glides away from their defaults.
    void everySectionOn (ZorvaluneAudioProcessor& p)
    {
        set (p, { { inGain, 0.55f }, { outGain, 0.45f },
                  { inFiltersOn, 1.0f }, { inHighPassFreq, 0.006f }, { inLowPassFreq, 0.45f }, { srReduc, 0.03f },
                  { noiseOn, 1.0f }, { noiseMix, 0.2f }, { noiseThreshold, 0.0f }, { rmsTime, 0.01f },
                  { noiseFilterQ, 0.3f }, { noiseLowcutOn, 1.0f },
                  { crushOn, 1.0f }, { saturation, 0.3f }, { nrBits, 0.5f }, { clipGain, 0.4f }, { pitchLowPassFreq, 0.3f },
                  { tapeOn, 1.0f }, { tapeFreqDelta, 0.6f }, { tapeRotation, 0.04f },
                  { dryWet, 0.5f } });
    }

    void noiseType (ZorvaluneAudioProcessor& p, int type)
    {
        p.setParameter (noiseFilterType, (float) type / 10.0f);
        p.setParameter (noiseFilterFreq, 0.15f);   // recomputed with the new type
    }

    void route (ZorvaluneAudioProcessor& p, int slot, int source, int destination, float depth)
    {
        if (slot == 1)
        {
            p.setMod1Source (source);
            set (p, { { mod1Dest, (float) destination / 100.0f }, { mod1Depth, depth } });
        }
        else
        {
            p.setMod2Source (source);
            set (p, { { mod2Dest, (float) destination / 100.0f }, { mod2Depth, depth } });
        }
    }

    // Cutoffs that move every few blocks keep the coefficient ramps running.
    void moveCutoffs (ZorvaluneAudioProcessor& p, int blockIndex)
    {
        if (blockIndex % 3 != 0)
            return;

        const float shift = (blockIndex / 3) % 2 != 0 ? 0.004f : 0.0f;
        set (p, { { inHighPassFreq, 0.006f + shift }, { inLowPassFreq, 0.45f - shift },
                  { noiseFilterFreq, 0.15f + shift }, { pitchLowPassFreq, 0.3f + shift } });
    }

    const std::vector<golden_case>& cases()
    {
        static const std::vector<golden_case> all {
            // Sine LFO on the tape rotation, sloped square on the saturation,
            // band-pass noise with its gate open.
            { "stereo_bandpass", 48000.0, 2, 0, 24000, { 512 },
              [] (ZorvaluneAudioProcessor& p)
              {
                  everySectionOn (p);
                  noiseType (p, 0);
                  route (p, 1, 0, 5, 0.4f);
                  route (p, 2, 1, 7, 0.8f);
                  set (p, { { lfo1Freq, 0.01f }, { lfo2Freq, 0.02f }, { slewRate, 0.2f } });
              },
              moveCutoffs },

            // Falling saw on the noise amount, random on the clip mix, a gate
            // that opens and closes with the level and releases, odd blocks.
            { "stereo_lowpass_gate", 44100.0, 2, 0, 20000, { 300, 77, 1, 512, 129 },
              [] (ZorvaluneAudioProcessor& p)
              {
                  everySectionOn (p);
                  noiseType (p, 1);
                  set (p, { { noiseThreshold, 0.6f }, { noiseMinAmount, 0.55f }, { noiseRatio, 0.9f },
                            { noiseRelease, 0.05f }, { nrBits, 0.35f }, { lfo1Freq, 0.02f } });
                  route (p, 1, 2, 1, 0.6f);
                  route (p, 2, 4, 2, 0.7f);
              },
              [] (ZorvaluneAudioProcessor& p, int blockIndex)
              {
                  moveCutoffs (p, blockIndex);

                  // Gains, depths and the wet share glide anew now and then.
                  if (blockIndex == 20)
                      set (p, { { dryWet, 0.8f }, { outGain, 0.55f }, { mod1Depth, 0.2f }, { noiseMix, 0.4f } });
              } },

            // Side chain: its samples on the tape depth, its envelope on the
            // input amplitude; high-pass noise; six channels at 96 kHz.
            { "multichannel_sidechain_highpass", 96000.0, 6, 2, 16000, { 64 },
              [] (ZorvaluneAudioProcessor& p)
              {
                  everySectionOn (p);
                  noiseType (p, 2);
                  set (p, { { sideGain1, 0.1f }, { sideGain2, 0.2f }, { tapeRotation, 0.02f } });
                  route (p, 1, 5, 6, 0.9f);
                  route (p, 2, 9, 4, 0.5f);
              },
              moveCutoffs },

            // Rising saw as a ring modulator, the inverted envelope and the
            // sine LFO both on the saturation (slot 2 wins), notch noise.
            { "multichannel_notch_ring", 48000.0, 4, 1, 16000, { 128, 256 },
              [] (ZorvaluneAudioProcessor& p)
              {
                  everySectionOn (p);
                  noiseType (p, 3);
                  set (p, { { sideGain1, 0.15f }, { nrBits, 0.7f } });
                  route (p, 1, 3, 3, 0.6f);
                  route (p, 2, 10, 7, 0.9f);
                  set (p, { { lfo1Freq, 0.05f } });
              },
              [] (ZorvaluneAudioProcessor& p, int blockIndex)
              {
                  moveCutoffs (p, blockIndex);

                  // Both slots on the saturation from here on.
                  if (blockIndex == 40)
                      route (p, 1, 0, 7, 0.6f);
              } },

            // The benchmark's worst case: 24 channels at 96 kHz in 64-sample blocks.
            { "twentyfour_channels", 96000.0, 24, 0, 6000, { 64 },
              [] (ZorvaluneAudioProcessor& p)
              {
                  everySectionOn (p);
                  noiseType (p, 0);
                  route (p, 1, 0, 5, 0.4f);
                  route (p, 2, 1, 7, 0.8f);
              },
              moveCutoffs },
        };

        return all;
    }

    // Music-like input: two partials and noise under a slow swell, so levels
    // cross the noise gate's threshold both ways. Every channel differs.
    juce::AudioBuffer<float> goldenInput (int channels, int samples, double rate)
    {
        juce::Random random (42);
        juce::AudioBuffer<float> b (channels, samples);

        for (int c = 0; c < channels; ++c)
        {
            for (int i = 0; i < samples; ++i)
            {
                const double t = (double) i / rate;
                const double swell = 0.5 + 0.45 * std::sin (2.0 * juce::MathConstants<double>::pi * (3.0 + c) * t);
                const double tone = 0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * (220.0 + 30.0 * c) * t)
                                  + 0.2 * std::sin (2.0 * juce::MathConstants<double>::pi * 1870.0 * t + c);
                b.setSample (c, i, (float) (swell * (tone + 0.3 * (random.nextFloat() * 2.0f - 1.0f))));
            }
        }

        return b;
    }

    juce::AudioBuffer<float> render (const golden_case& gc)
    {
        auto p = makeProcessor (gc.rate, gc.blocks.front(), gc.channels, gc.sideChannels);
        gc.configure (*p);
        const auto in = goldenInput (gc.channels + gc.sideChannels, gc.samples, gc.rate);
        int blockIndex = 0;

        gc.beforeBlock (*p, blockIndex);
        auto out = block_runner::process (*p, in, gc.blocks, [&] (int) { gc.beforeBlock (*p, ++blockIndex); });
        out.setSize (gc.channels, gc.samples, true);
        return out;
    }

    int sampledIndex (int k, int channel, int samples)
    {
        const int stride = samples / golden::valuesPerChannel;
        return k * stride + (channel * 37 + 11) % stride;
    }

    golden::channel_reference summarise (const juce::AudioBuffer<float>& out, int c)
    {
        golden::channel_reference r {};

        for (int i = 0; i < out.getNumSamples(); ++i)
        {
            const double x = out.getSample (c, i);
            r.sumAbs += std::abs (x);
            r.sumSquares += x * x;
        }

        for (int k = 0; k < golden::valuesPerChannel; ++k)
            r.values[(size_t) k] = out.getSample (c, sampledIndex (k, c, out.getNumSamples()));

        return r;
    }

    void printReference (const golden_case& gc, const juce::AudioBuffer<float>& out)
    {
        std::printf ("    // %s\n    {\n", gc.name);

        for (int c = 0; c < out.getNumChannels(); ++c)
        {
            const auto r = summarise (out, c);
            std::printf ("        { %.17g, %.17g, {", r.sumAbs, r.sumSquares);

            for (int k = 0; k < golden::valuesPerChannel; ++k)
                std::printf ("%s%.9g", k == 0 ? " " : (k % 8 == 0 ? ",\n            " : ", "), r.values[(size_t) k]);

            std::printf (" } },\n");
        }

        std::printf ("    },\n");
    }

    bool capturing() { return std::getenv ("ZORVALUNE_GOLDEN_CAPTURE") != nullptr; }

    // ZORVALUNE_GOLDEN_DUMP=<folder> also writes every output sample of each
    // case there (raw floats), for comparing two builds bit by bit.
    void dumpIfAsked (const golden_case& gc, const juce::AudioBuffer<float>& out)
    {
        if (const char* folder = std::getenv ("ZORVALUNE_GOLDEN_DUMP"))
        {
            juce::FileOutputStream file (juce::File (folder).getChildFile (juce::String (gc.name) + ".raw"));
            file.setPosition (0);
            file.truncate();

            for (int c = 0; c < out.getNumChannels(); ++c)
                file.write (out.getReadPointer (c), sizeof (float) * (size_t) out.getNumSamples());
        }
    }
}

TEST (ChainGolden, OutputMatchesTheReference)
{
    if (capturing())
        std::printf ("\n---- chain golden reference ----\n");
    else
        ASSERT_EQ (cases().size(), golden::references.size());

    for (size_t k = 0; k < cases().size(); ++k)
    {
        const auto& gc = cases()[k];
        const auto out = render (gc);
        SCOPED_TRACE (gc.name);
        ASSERT_TRUE (allFinite (out));
        dumpIfAsked (gc, out);

        if (capturing())
        {
            printReference (gc, out);
            continue;
        }

        const auto& expected = golden::references[k];
        ASSERT_EQ ((size_t) gc.channels, expected.size());

        for (int c = 0; c < gc.channels; ++c)
        {
            const auto got = summarise (out, c);
            const auto& want = expected[(size_t) c];
            SCOPED_TRACE ("channel " + std::to_string (c));

            // Sums over the whole run: rounding differences average out.
            EXPECT_NEAR (got.sumAbs, want.sumAbs, 1.0e-5 * want.sumAbs);
            EXPECT_NEAR (got.sumSquares, want.sumSquares, 1.0e-5 * want.sumSquares);

            // Single samples: a few ULP of the chain's float arithmetic, with
            // room for a rare sample that a bit-reduction step rounds the
            // other way (a difference of up to one step, 2^-11 at 12 bits).
            int stepped = 0;

            for (int i = 0; i < golden::valuesPerChannel; ++i)
            {
                const float g = got.values[(size_t) i], w = want.values[(size_t) i];
                const float diff = std::abs (g - w);

                if (diff <= 2.0e-6f + 1.0e-5f * std::abs (w))
                    continue;

                ++stepped;
                EXPECT_LT (diff, 1.0f / 64.0f) << "value " << i << " at sample "
                                              << sampledIndex (i, c, gc.samples) << ": " << g << " vs " << w;
            }

            EXPECT_LE (stepped, 1) << "samples off by more than rounding";
        }
    }

    if (capturing())
        GTEST_SKIP() << "reference printed, nothing compared";
}

//============================================================================== channels side by side
namespace
{
    bool sameBits (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
            return false;

        for (int c = 0; c < a.getNumChannels(); ++c)
            if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
                return false;

        return true;
    }

    // render (name) on each instruction set; each must give the plain build's
    // bits, where every channel runs on its own.
    template <typename Render>
    void expectTheSameOnEveryInstructionSet (Render render)
    {
        std::vector<std::pair<std::string, juce::AudioBuffer<float>>> outputs;
        instruction_sets::each ([&] (const char* set) { outputs.emplace_back (set, render()); });

        for (const auto& [set, out] : outputs)
            EXPECT_TRUE (sameBits (out, outputs.back().second)) << set << " against " << outputs.back().first;
    }
}

TEST (ChainLanes, EveryChannelSoundsAsItDoesAlone)
{
    // Groups of 4, 2 and 1 among 24, 6, 4 and 2 channels.
    for (const auto& gc : cases())
    {
        SCOPED_TRACE (gc.name);
        expectTheSameOnEveryInstructionSet ([&] { return render (gc); });
    }
}

TEST (ChainLanes, ChannelsThatJoinLateSoundAsTheyDoAlone)
{
    // Two channels run for a while; then the host widens the bus to seven, and
    // five channels start from fresh state beside two with a history: their
    // glides, coefficient ramps, oscillators, windows and tapes all differ.
    expectTheSameOnEveryInstructionSet ([]
    {
        auto p = makeProcessor (48000.0, 256, 2);
        everySectionOn (*p);
        noiseType (*p, 1);
        route (*p, 1, 0, 7, 0.4f);   // the tapes read at one rate, from different places
        route (*p, 2, 1, 2, 0.8f);
        set (*p, { { noiseThreshold, 0.6f }, { noiseRelease, 0.05f }, { rmsTime, 0.002f } });
        block_runner::process (*p, goldenInput (2, 12000, 48000.0), { 256 }, [&] (int) { moveCutoffs (*p, 0); });

        auto layout = p->getBusesLayout();
        layout.inputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (7);
        layout.outputBuses.getReference (0) = juce::AudioChannelSet::discreteChannels (7);
        p->releaseResources();
        EXPECT_TRUE (p->setBusesLayout (layout));
        p->prepareToPlay (48000.0, 256);
        set (*p, { { inGain, 0.6f }, { dryWet, 0.7f }, { clipGain, 0.5f }, { pitchLowPassFreq, 0.35f } });
        return block_runner::process (*p, goldenInput (7, 12000, 48000.0), { 256, 100 });
    });
}

