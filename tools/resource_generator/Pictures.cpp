#include "Pictures.h"

namespace
{
    using juce::Colour;

    constexpr float pi = juce::MathConstants<float>::pi;

    // LED colours by index: green, red, amber, cyan. Red and cyan are also the
    // knob rings' colours above and below a centre-zero knob's middle.
    const Colour ledColours[] { Colour (0xff3cf06a), Colour (0xffff3b2f), Colour (0xffffae1a), Colour (0xff27d8ff) };
    const Colour ringLit = ledColours[1];
    const Colour ringNegative = ledColours[3];

    juce::Image blank (int w, int h)    { return juce::Image (juce::Image::ARGB, w, h, true); }

    juce::Rectangle<float> circle (float cx, float cy, float r)
    {
        return { cx - r, cy - r, 2.0f * r, 2.0f * r };
    }

    // A point at radius r from (cx, cy), angle clockwise from straight up.
    juce::Point<float> polar (float cx, float cy, float r, float angle)
    {
        return { cx + r * std::sin (angle), cy - r * std::cos (angle) };
    }

    // Soft light around a shape: the shape is filled on a scratch image,
    // blurred, and laid under whatever is drawn next.
    void glow (juce::Graphics& g, const juce::Image& target, const std::function<void (juce::Graphics&)>& shape, float radius)
    {
        auto sharp = blank (target.getWidth(), target.getHeight());
        {
            juce::Graphics sg (sharp);
            shape (sg);
        }

        auto soft = blank (target.getWidth(), target.getHeight());
        juce::ImageConvolutionKernel kernel (((int) std::ceil (radius * 3.0f)) * 2 + 1);
        kernel.createGaussianBlur (radius);
        kernel.applyToImage (soft, sharp, sharp.getBounds());
        g.drawImageAt (soft, 0, 0);
    }

    void dropShadow (juce::Graphics& g, float cx, float cy, float radius, float alpha)
    {
        juce::ColourGradient shadow (juce::Colours::black.withAlpha (alpha), cx, cy,
                                     juce::Colours::transparentBlack, cx + radius, cy, true);
        shadow.addColour (0.78, juce::Colours::black.withAlpha (alpha * 0.8f));
        g.setGradientFill (shadow);
        g.fillEllipse (circle (cx, cy, radius));
    }

    // Light falling from above onto a round edge.
    void topRimLight (juce::Graphics& g, float cx, float cy, float r, float alpha, float thickness)
    {
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (alpha), cx, cy - r,
                                                 juce::Colours::transparentWhite, cx, cy + r * 0.2f, false));
        g.drawEllipse (circle (cx, cy, r - thickness * 0.5f), thickness);
    }

    void darkBody (juce::Graphics& g, float cx, float cy, float r, Colour top, Colour bottom)
    {
        g.setGradientFill (juce::ColourGradient (top, cx, cy - r, bottom, cx, cy + r, false));
        g.fillEllipse (circle (cx, cy, r));
    }

    // A machined cap lit from the upper left.
    void cap (juce::Graphics& g, float cx, float cy, float r)
    {
        juce::ColourGradient face (Colour (0xff61666f), cx - 0.45f * r, cy - 0.6f * r,
                                   Colour (0xff1f2226), cx + 0.9f * r, cy + 1.1f * r, true);
        face.addColour (0.45, Colour (0xff3a3e45));
        g.setGradientFill (face);
        g.fillEllipse (circle (cx, cy, r));

        g.setColour (juce::Colours::black.withAlpha (0.55f));
        g.drawEllipse (circle (cx, cy, r), juce::jmax (1.0f, r * 0.035f));
        topRimLight (g, cx, cy, r - r * 0.04f, 0.22f, juce::jmax (1.0f, r * 0.03f));
    }
}

namespace Pictures
{
    juce::Image knobFrame (int size, float position)
    {
        auto image = blank (size, size);
        juce::Graphics g (image);

        const float s = (float) size;
        const float c = s * 0.5f;
        // The ring's segments reach into the outer part of the frame, so the
        // knob keeps to the middle three quarters.
        const float r = c * 0.76f;
        const float angle = (-0.8f + 1.6f * position) * pi;

        dropShadow (g, c, c + s * 0.035f, r * 1.14f, 0.6f);
        darkBody (g, c, c, r, Colour (0xff4b4f57), Colour (0xff141518));

        // Grip ridges turn with the knob.
        constexpr int ridges = 36;
        for (int i = 0; i < ridges; ++i)
        {
            const float a = angle + (float) i * 2.0f * pi / (float) ridges;
            g.setColour (juce::Colours::black.withAlpha (0.45f));
            g.drawLine ({ polar (c, c, r * 0.84f, a), polar (c, c, r * 0.985f, a) }, r * 0.045f);
            g.setColour (juce::Colours::white.withAlpha (0.07f));
            g.drawLine ({ polar (c, c, r * 0.84f, a + 0.05f), polar (c, c, r * 0.985f, a + 0.05f) }, r * 0.03f);
        }

        topRimLight (g, c, c, r, 0.28f, juce::jmax (1.0f, r * 0.03f));
        cap (g, c, c, r * 0.8f);

        // The pointer: a light bar from near the centre to the cap's edge.
        juce::Path pointer;
        pointer.startNewSubPath (polar (c, c, r * 0.28f, angle));
        pointer.lineTo (polar (c, c, r * 0.7f, angle));

        g.setColour (juce::Colours::black.withAlpha (0.5f));
        g.strokePath (pointer, juce::PathStrokeType (r * 0.13f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded),
                      juce::AffineTransform::translation (0.0f, r * 0.03f));
        g.setColour (Colour (0xfff2f3f5));
        g.strokePath (pointer, juce::PathStrokeType (r * 0.085f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        return image;
    }

    juce::Image toggle (bool on)
    {
        constexpr int size = 108;
        auto image = blank (size, size);
        juce::Graphics g (image);
        const float c = size * 0.5f;

        dropShadow (g, c, c + 3.0f, 50.0f, 0.6f);
        darkBody (g, c, c, 44.0f, Colour (0xff42464e), Colour (0xff15171a));
        topRimLight (g, c, c, 44.0f, 0.25f, 1.5f);

        // The lamp ring between bezel and cap.
        const auto lampRing = [c] (juce::Graphics& lg, Colour colour, float width)
        {
            lg.setColour (colour);
            lg.drawEllipse (circle (c, c, 38.0f), width);
        };

        if (on)
        {
            glow (g, image, [&] (juce::Graphics& lg) { lampRing (lg, ringLit, 6.0f); }, 3.5f);
            lampRing (g, ringLit.interpolatedWith (juce::Colours::white, 0.25f), 3.0f);
        }
        else
        {
            lampRing (g, Colour (0xff0e0f11), 4.0f);
            lampRing (g, Colour (0xff2a1c1b), 2.0f);
        }

        cap (g, c, c, 33.0f);

        // A power symbol on the cap.
        juce::Path symbol;
        symbol.addCentredArc (c, c + 2.0f, 14.0f, 14.0f, 0.0f, 0.23f * pi, 1.77f * pi, true);
        symbol.startNewSubPath (c, c - 17.0f);
        symbol.lineTo (c, c - 3.0f);
        const juce::PathStrokeType stroke (4.5f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);

        if (on)
        {
            glow (g, image, [&] (juce::Graphics& lg) { lg.setColour (ringLit); lg.strokePath (symbol, stroke); }, 3.0f);
            g.setColour (ringLit.interpolatedWith (juce::Colours::white, 0.35f));
        }
        else
        {
            g.setColour (Colour (0xff7a7e86));
        }

        g.strokePath (symbol, stroke);
        return image;
    }

    juce::Image ringSegment (Segment kind)
    {
        auto image = blank (22, 36);
        juce::Graphics g (image);
        const juce::Rectangle<float> capsule (6.5f, 5.0f, 9.0f, 26.0f);
        const float corner = 4.5f;

        if (kind == Segment::unlit)
        {
            g.setColour (Colour (0xff1f2024));
            g.fillRoundedRectangle (capsule, corner);
            g.setColour (juce::Colours::white.withAlpha (0.07f));
            g.drawRoundedRectangle (capsule.reduced (0.5f), corner, 1.0f);
            return image;
        }

        const auto colour = kind == Segment::lit ? ringLit : ringNegative;

        glow (g, image, [&] (juce::Graphics& lg)
        {
            lg.setColour (colour.withAlpha (0.9f));
            lg.fillRoundedRectangle (capsule.expanded (1.0f), corner);
        }, 2.5f);

        juce::ColourGradient body (colour.darker (0.25f), capsule.getX(), 0.0f,
                                   colour.darker (0.25f), capsule.getRight(), 0.0f, false);
        body.addColour (0.5, colour.interpolatedWith (juce::Colours::white, 0.45f));
        g.setGradientFill (body);
        g.fillRoundedRectangle (capsule, corner);
        return image;
    }

    juce::Image led (int colourIndex, LedLook look)
    {
        constexpr int size = 48;
        auto image = blank (size, size);
        juce::Graphics g (image);
        const float c = size * 0.5f;
        const float lens = 12.5f;
        const auto colour = ledColours[juce::jlimit (0, 3, colourIndex)];

        if (look == LedLook::on || look == LedLook::alternate)
        {
            const float strength = look == LedLook::on ? 0.85f : 0.35f;
            glow (g, image, [&] (juce::Graphics& lg)
            {
                lg.setColour (colour.withAlpha (strength));
                lg.fillEllipse (circle (c, c, 15.0f));
            }, 4.0f);
        }

        // A recessed bezel, lit from below.
        darkBody (g, c, c, 15.5f, Colour (0xff0b0c0e), Colour (0xff42454b));

        Colour centre, middle, edge;
        float highlight = 0.5f;

        switch (look)
        {
            case LedLook::on:
                centre = colour.interpolatedWith (juce::Colours::white, 0.7f);
                middle = colour;
                edge = colour.darker (0.6f);
                break;
            case LedLook::alternate:
                centre = colour.withMultipliedBrightness (0.7f).interpolatedWith (juce::Colours::white, 0.2f);
                middle = colour.withMultipliedBrightness (0.55f);
                edge = colour.withMultipliedBrightness (0.3f);
                highlight = 0.4f;
                break;
            case LedLook::off:
                centre = colour.withMultipliedSaturation (0.7f).withMultipliedBrightness (0.34f);
                middle = colour.withMultipliedSaturation (0.7f).withMultipliedBrightness (0.22f);
                edge = colour.withMultipliedSaturation (0.7f).withMultipliedBrightness (0.1f);
                highlight = 0.28f;
                break;
            case LedLook::dark:
                centre = Colour (0xff2a2b2f);
                middle = Colour (0xff18191c);
                edge = Colour (0xff0b0b0d);
                highlight = 0.2f;
                break;
        }

        juce::ColourGradient body (centre, c - 2.5f, c - 3.0f, edge, c - 2.5f + lens * 1.25f, c - 3.0f, true);
        body.addColour (0.55, middle);
        g.setGradientFill (body);
        g.fillEllipse (circle (c, c, lens));

        // The lens's reflection of the room light.
        const juce::Rectangle<float> spot (c - 7.5f, c - 10.0f, 9.0f, 5.5f);
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (highlight), spot.getCentreX(), spot.getY(),
                                                 juce::Colours::white.withAlpha (0.0f), spot.getCentreX(), spot.getBottom(), false));
        g.fillEllipse (spot);

        return image;
    }

    juce::Image wordmark (const juce::Typeface::Ptr& typeface)
    {
        constexpr int width = 434, height = 84;
        auto image = blank (width, height);
        juce::Graphics g (image);

        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (juce::Font (typeface).withHeight (80.0f).withExtraKerningFactor (0.06f), "Zorvalune", 0.0f, 0.0f);
        juce::Path text;
        glyphs.createPath (text);

        // Fit the lettering into the picture with a small margin, keeping its proportions.
        const auto box = juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height).reduced (14.0f, 12.0f);
        text.applyTransform (text.getTransformToScaleToFit (box, true));

        glow (g, image, [&] (juce::Graphics& lg)
        {
            lg.setColour (juce::Colours::black.withAlpha (0.7f));
            lg.fillPath (text, juce::AffineTransform::translation (0.0f, 2.5f));
        }, 2.5f);

        const auto bounds = text.getBounds();
        g.setGradientFill (juce::ColourGradient (Colour (0xfffdfdfd), 0.0f, bounds.getY(),
                                                 Colour (0xffc5c9d2), 0.0f, bounds.getBottom(), false));
        g.fillPath (text);
        return image;
    }

    juce::Image waveform (int kind)
    {
        constexpr int width = 124, height = 68;
        auto image = blank (width, height);
        juce::Graphics g (image);

        const juce::Rectangle<float> frame (2.0f, 2.0f, width - 4.0f, height - 4.0f);
        g.setColour (juce::Colours::white.withAlpha (0.05f));
        g.fillRoundedRectangle (frame, 10.0f);
        g.setColour (juce::Colours::white.withAlpha (0.18f));
        g.drawRoundedRectangle (frame, 10.0f, 1.2f);

        // Two periods between x0 and x1, swinging between top and bottom.
        const float x0 = 18.0f, x1 = 106.0f, top = 17.0f, bottom = 51.0f;
        const float period = (x1 - x0) * 0.5f;
        const float mid = (top + bottom) * 0.5f;
        juce::Path wave;

        switch (kind)
        {
            case 0:
                wave.startNewSubPath (x0, mid);
                for (int i = 1; i <= 160; ++i)
                {
                    const float t = (float) i / 160.0f;
                    wave.lineTo (x0 + t * (x1 - x0), mid - (bottom - mid) * std::sin (t * 4.0f * pi));
                }
                break;

            case 1:
                wave.startNewSubPath (x0, bottom);
                for (int p = 0; p < 2; ++p)
                {
                    const float start = x0 + (float) p * period;
                    wave.lineTo (start, top);
                    wave.lineTo (start + period * 0.5f, top);
                    wave.lineTo (start + period * 0.5f, bottom);
                    wave.lineTo (start + period, bottom);
                }
                break;

            default:
            {
                // A falling saw ramps from top to bottom and jumps back; a rising one the other way.
                const float from = kind == 2 ? top : bottom;
                const float to = kind == 2 ? bottom : top;
                wave.startNewSubPath (x0, from);

                for (int p = 0; p < 2; ++p)
                {
                    const float end = x0 + (float) (p + 1) * period;
                    wave.lineTo (end, to);
                    wave.lineTo (end, from);
                }
                break;
            }
        }

        const juce::PathStrokeType stroke (3.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);

        glow (g, image, [&] (juce::Graphics& lg)
        {
            lg.setColour (juce::Colours::white.withAlpha (0.45f));
            lg.strokePath (wave, juce::PathStrokeType (5.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        }, 2.5f);

        g.setColour (Colour (0xffeef1f6).withAlpha (0.92f));
        g.strokePath (wave, stroke);
        return image;
    }
}
