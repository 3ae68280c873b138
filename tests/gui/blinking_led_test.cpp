#include <gtest/gtest.h>

#include "gui/common/BlinkingLed.h"
#include "gui/common/EmbeddedResources.h"

namespace
{
    juce::Image onPicture (BlinkingLed::LedColors c)   { return EmbeddedResources::loadImage (EmbeddedResources::ledOn[(size_t) c]); }
    juce::Image offPicture (BlinkingLed::LedColors c)  { return EmbeddedResources::loadImage (EmbeddedResources::ledOff[(size_t) c]); }
    juce::Image altPicture (BlinkingLed::LedColors c)  { return EmbeddedResources::loadImage (EmbeddedResources::ledAlternate[(size_t) c]); }
    juce::Image darkPicture()                          { return EmbeddedResources::loadImage (EmbeddedResources::ledDark); }
}

TEST (BlinkingLed, NewLampShowsTheCyanOnPicture)
{
    BlinkingLed led;
    EXPECT_EQ (led.getName(), "BlinkingLed");
    EXPECT_EQ (led.getLedState(), BlinkingLed::ledOn);
    EXPECT_EQ (led.getLedColor(), BlinkingLed::ledCyan);
    EXPECT_EQ (led.blinkPeriodMs, 500);
    EXPECT_FALSE (led.isTimerRunning());
    ASSERT_TRUE (led.getImage().isValid());
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledCyan));
}

TEST (BlinkingLed, SteadyStatesShowTheirPictures)
{
    BlinkingLed led;
    led.setLedColor (BlinkingLed::ledGreen);
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledGreen));

    led.setLedState (BlinkingLed::ledOff);
    EXPECT_EQ (led.getImage(), offPicture (BlinkingLed::ledGreen));

    led.setLedColor (BlinkingLed::ledAmber);
    EXPECT_EQ (led.getImage(), offPicture (BlinkingLed::ledAmber));

    led.setLedState (BlinkingLed::ledAlternate);
    EXPECT_EQ (led.getImage(), altPicture (BlinkingLed::ledAmber));
    EXPECT_NE (led.getImage(), onPicture (BlinkingLed::ledAmber));

    led.setLedState (BlinkingLed::ledOn);
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledAmber));
    EXPECT_FALSE (led.isTimerRunning());
}

TEST (BlinkingLed, DarkLooksTheSameForEveryColour)
{
    BlinkingLed led;
    led.setLedState (BlinkingLed::ledDark);

    for (auto c : { BlinkingLed::ledGreen, BlinkingLed::ledRed, BlinkingLed::ledAmber, BlinkingLed::ledCyan })
    {
        led.setLedColor (c);
        EXPECT_EQ (led.getImage(), darkPicture()) << c;
    }
}

TEST (BlinkingLed, AlternateOnGreenOrRedShowsNothing)
{
    for (auto c : { BlinkingLed::ledGreen, BlinkingLed::ledRed })
    {
        BlinkingLed led;
        led.setLedColor (c);
        led.setLedState (BlinkingLed::ledAlternate);
        EXPECT_TRUE (led.getImage().isNull()) << c;
    }

    BlinkingLed cyan;
    cyan.setLedState (BlinkingLed::ledAlternate);
    EXPECT_EQ (cyan.getImage(), altPicture (BlinkingLed::ledCyan));
}

TEST (BlinkingLed, BlinkingWaitsOnePeriodThenAlternatesFromOn)
{
    BlinkingLed led;
    led.setLedColor (BlinkingLed::ledRed);
    led.blinkPeriodMs = 250;
    led.setLedState (BlinkingLed::ledBlinking);

    EXPECT_TRUE (led.isTimerRunning());
    EXPECT_EQ (led.getTimerInterval(), 250);
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledRed));   // unchanged until the first tick

    const juce::Image expected[] { onPicture (BlinkingLed::ledRed), offPicture (BlinkingLed::ledRed),
                                   onPicture (BlinkingLed::ledRed), offPicture (BlinkingLed::ledRed) };

    for (const auto& picture : expected)
    {
        led.timerCallback();
        EXPECT_EQ (led.getImage(), picture);
        EXPECT_TRUE (led.isTimerRunning());
    }
}

TEST (BlinkingLed, LeavingBlinkShowsAtOnceAndTheNextTickStopsTheTimer)
{
    BlinkingLed led;
    led.setLedState (BlinkingLed::ledBlinking);
    led.timerCallback();    // on
    led.timerCallback();    // off
    EXPECT_EQ (led.getImage(), offPicture (BlinkingLed::ledCyan));

    led.setLedState (BlinkingLed::ledOn);
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledCyan));
    EXPECT_TRUE (led.isTimerRunning());

    led.timerCallback();
    EXPECT_FALSE (led.isTimerRunning());
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledCyan));
}

TEST (BlinkingLed, BlinkPhaseCarriesOverToTheNextBlinking)
{
    BlinkingLed led;
    led.setLedState (BlinkingLed::ledBlinking);
    led.timerCallback();    // shows on; the next tick would show off
    led.setLedState (BlinkingLed::ledOn);
    led.timerCallback();    // stops

    led.setLedState (BlinkingLed::ledBlinking);
    led.timerCallback();
    EXPECT_EQ (led.getImage(), offPicture (BlinkingLed::ledCyan));
}

TEST (BlinkingLed, SettingBlinkingTwiceStartsTheTimerOnce)
{
    BlinkingLed led;
    led.blinkPeriodMs = 500;
    led.setLedState (BlinkingLed::ledBlinking);
    led.blinkPeriodMs = 200;
    led.setLedState (BlinkingLed::ledBlinking);
    EXPECT_EQ (led.getTimerInterval(), 500);
}

TEST (BlinkingLed, ColourChangeWhileBlinkingWaitsForTheNextTick)
{
    BlinkingLed led;
    led.setLedState (BlinkingLed::ledBlinking);
    led.setLedColor (BlinkingLed::ledRed);
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledCyan));

    led.timerCallback();
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledRed));
    led.timerCallback();
    EXPECT_EQ (led.getImage(), offPicture (BlinkingLed::ledRed));
}

TEST (BlinkingLed, ColourOutsideTheFourIsIgnored)
{
    BlinkingLed led;
    led.setLedColor (static_cast<BlinkingLed::LedColors> (7));
    EXPECT_EQ (led.getLedColor(), BlinkingLed::ledCyan);
    EXPECT_EQ (led.getImage(), onPicture (BlinkingLed::ledCyan));
}
