#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

// A status lamp: shows one of four coloured LED pictures lit, unlit, dimmed or
// dark, and blinks on its own timer.
class BlinkingLed : public juce::ImageComponent,
                    public juce::Timer
{
public:
    enum LedColors
    {
        ledGreen = 0,
        ledRed   = 1,
        ledAmber = 2,
        ledCyan  = 3
    };

    enum LedStates
    {
        ledOff       = 0,
        ledOn        = 1,
        ledBlinking  = 2,   // on and off in turn, every blinkPeriodMs
        ledDark      = 3,   // colourless, the same for every colour
        ledAlternate = 4    // dimmer lit; green and red have none and show nothing
    };

    BlinkingLed();
    ~BlinkingLed() override;

    void setLedColor (LedColors c);
    void setLedState (LedStates s);

    LedStates getLedState() const noexcept   { return ledState; }
    LedColors getLedColor() const noexcept   { return ledColor; }

    // The blink tick.
    void timerCallback() override;

    // Blink period in milliseconds; set it before the lamp starts blinking.
    int blinkPeriodMs = 500;

private:
    void show (const juce::Image& picture);
    void showStatePicture();

    LedStates ledState = ledOn;
    LedColors ledColor = ledCyan;
    juce::Image curOnImage;
    juce::Image curAltImage;
    juce::Image curOffImage;
    juce::Image ledDarkImage;
    std::array<juce::Image, 4> ledOnImages;
    std::array<juce::Image, 4> ledAltImages;
    std::array<juce::Image, 4> ledOffImages;
    int blinkPhase = 0;     // 0: the next tick shows the on picture, 1: the off picture

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BlinkingLed)
};
