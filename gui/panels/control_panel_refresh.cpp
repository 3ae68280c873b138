#include "ControlPanel.h"

// So far the refresh only keeps the pages in step; the values, presentation
// and LEDs of the main controls follow with their bindings.
void ControlPanel::update_UI()
{
    // The advanced page stays up while modulation 1 sends its side chain.
    if (processor.mod1Source.load() == 6)
    {
        advancedBackdrop->setVisible (true);
        advancedPanel->setVisible (true);
        advancedButton->setToggleState (true, juce::dontSendNotification);
    }

    advancedPanel->update_UI();
    weightPanel->update_UI();
    weightButton->setVisible (false);
}

void ControlPanel::update_dependant_UI()
{
    advancedPanel->update_dependant_UI (1);
}

void ControlPanel::timerCallback() {}
