#include "BlinkingLed.h"

#include "EmbeddedResources.h"

BlinkingLed::BlinkingLed()
    : juce::ImageComponent ("BlinkingLed")
{
    for (size_t c = 0; c < ledOnImages.size(); ++c)
    {
        ledOnImages[c]  = EmbeddedResources::loadImage (EmbeddedResources::ledOn[c]);
        ledAltImages[c] = EmbeddedResources::loadImage (EmbeddedResources::ledAlternate[c]);
        ledOffImages[c] = EmbeddedResources::loadImage (EmbeddedResources::ledOff[c]);
    }

    ledDarkImage = EmbeddedResources::loadImage (EmbeddedResources::ledDark);
    setLedColor (ledColor);
}

BlinkingLed::~BlinkingLed()
{
    stopTimer();
}

void BlinkingLed::show (const juce::Image& picture)
{
    // The image component repaints only when the picture really changes.
    setImage (picture);
}

void BlinkingLed::setLedColor (LedColors c)
{
    // Anything outside the four colours would index past the pictures.
    if (c < ledGreen || c > ledCyan)
        return;

    ledColor = c;
    curOnImage  = ledOnImages[(size_t) c];
    curAltImage = ledAltImages[(size_t) c];
    curOffImage = ledOffImages[(size_t) c];
    showStatePicture();
}

void BlinkingLed::showStatePicture()
{
    switch (ledState)
    {
        case ledOff:       show (curOffImage);  break;
        case ledOn:        show (curOnImage);   break;
        case ledDark:      show (ledDarkImage); break;
        case ledAlternate: show (curAltImage);  break;
        case ledBlinking:  break;   // the timer's next tick shows it
    }
}

void BlinkingLed::setLedState (LedStates s)
{
    if (s == ledState)
        return;

    ledState = s;

    if (s == ledBlinking)
        startTimer (blinkPeriodMs);
    else
        showStatePicture();
}

void BlinkingLed::timerCallback()
{
    // Leaving the blinking state leaves the timer running until here.
    if (ledState != ledBlinking)
    {
        stopTimer();
        return;
    }

    if (blinkPhase == 0)
    {
        show (curOnImage);
        blinkPhase = 1;
    }
    else
    {
        show (curOffImage);
        blinkPhase = 0;
    }
}
