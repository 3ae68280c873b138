#include "ZorvLNF.h"

namespace
{
    constexpr float firstSegmentAngle = -2.5132742f;   // -144 degrees, lower left
    constexpr float segmentAngleStep = 0.19332878f;    // 288 degrees over 26 gaps

    // Summed step by step in single precision, so segment 13 lands on straight up.
    constexpr std::array<float, ZorvLNF::ringSegmentCount> makeSegmentAngles()
    {
        std::array<float, ZorvLNF::ringSegmentCount> angles {};
        float a = firstSegmentAngle;

        for (size_t k = 0; k < angles.size(); ++k)
        {
            angles[k] = a;
            a += segmentAngleStep;
        }

        return angles;
    }

    constexpr auto segmentAngles = makeSegmentAngles();
    constexpr int centreSegment = ZorvLNF::ringSegmentCount / 2;

    int roundedSize (float value)    { return (int) (value + 0.5f); }
}

ZorvLNF::KnobLayout ZorvLNF::knobLayoutFor (int width)
{
    // Narrow knobs scale the small strip down; from 90 pixels the big strip is
    // drawn, never scaled above its design size.
    const bool big = width >= 90;
    const float scale = width <= 81 ? (float) width / 108.0f : 1.0f;

    return { big, scale,
             roundedSize (12.0f * scale),
             roundedSize (11.0f * scale),
             roundedSize (18.0f * scale) };
}

int ZorvLNF::knobFrameFor (float position, int frameCount)
{
    return (int) ((float) (frameCount - 1) * juce::jlimit (0.0f, 1.0f, position));
}

float ZorvLNF::ringSegmentAngle (int segment)
{
    return segmentAngles[(size_t) juce::jlimit (0, ringSegmentCount - 1, segment)];
}

std::array<ZorvLNF::RingLight, ZorvLNF::ringSegmentCount> ZorvLNF::ringLightsFor (const juce::String& sliderName,
                                                                                 float position)
{
    const float p = juce::jlimit (0.0f, 1.0f, position);
    std::array<RingLight, ringSegmentCount> lights;
    lights.fill (RingLight::unlit);

    if (sliderName == "mid_is_zero_slider")
    {
        if (p >= 0.5f)
        {
            const int m = (int) (27.0f * (p - 0.5f));

            for (int k = centreSegment; k <= juce::jmin (centreSegment + m, ringSegmentCount - 1); ++k)
                lights[(size_t) k] = RingLight::lit;
        }
        else
        {
            const int m = (int) (27.0f * (0.5f - p));

            for (int k = juce::jmax (0, centreSegment - m); k <= centreSegment; ++k)
                lights[(size_t) k] = RingLight::litNegative;
        }

        return lights;
    }

    const int n = (int) (27.0f * p);
    const bool fromRight = sliderName == "right_is_zero_slider";

    for (int k = 0; k < ringSegmentCount; ++k)
        lights[(size_t) k] = ((k < n) != fromRight) ? RingLight::lit : RingLight::unlit;

    return lights;
}

void ZorvLNF::drawRotarySlider (juce::Graphics& g, int, int, int width, int height,
                                float sliderPos, float, float, juce::Slider& slider)
{
    const juce::Graphics::ScopedSaveState saved (g);

    if (! slider.isEnabled())
        g.setOpacity (0.6f);

    const auto layout = knobLayoutFor (width);
    const auto& frames = layout.bigStrip ? bigKnobFrames : smallKnobFrames;

    const int side = juce::jmin (height - layout.topMargin, width);

    if (! frames.empty() && side > 0)
    {
        const auto& frame = frames[(size_t) knobFrameFor (sliderPos, (int) frames.size())];
        g.drawImage (frame, (width - side) / 2, layout.topMargin, side, side,
                     0, 0, frame.getWidth(), frame.getHeight());
    }

    if (ledLitImage.isNull())
        return;

    const float cx = (float) width * 0.5f;
    const float cy = (float) layout.topMargin + (float) side * 0.5f;
    const float sw = (float) layout.segmentWidth;
    const float sh = (float) layout.segmentHeight;

    // One transform size serves all three segment pictures: they share one size.
    const auto upright = juce::AffineTransform::scale (sw / (float) ledLitImage.getWidth(),
                                                       sh / (float) ledLitImage.getHeight())
                             .translated (cx - sw * 0.5f, 0.0f);

    const auto lights = ringLightsFor (slider.getName(), sliderPos);

    for (int k = 0; k < ringSegmentCount; ++k)
    {
        const auto light = lights[(size_t) k];
        const auto& image = light == RingLight::lit         ? ledLitImage
                          : light == RingLight::litNegative ? ledLitNegativeImage
                                                            : ledUnlitImage;

        g.drawImageTransformed (image, upright.rotated (segmentAngles[(size_t) k], cx, cy));
    }
}
