#include "WidgetVariants.h"

ComboBox_IgnoreKeys::ComboBox_IgnoreKeys (const juce::String& name)
    : juce::ComboBox (name)
{
}

ComboBox_IgnoreKeys::~ComboBox_IgnoreKeys() = default;

bool ComboBox_IgnoreKeys::keyPressed (const juce::KeyPress&)
{
    // Arrow keys would otherwise step the selection behind the user's back
    // while they meant to talk to the host.
    return false;
}

ForcePopupsInParentWindow::~ForcePopupsInParentWindow() = default;

juce::Component* ForcePopupsInParentWindow::getParentComponentForMenuOptions (const juce::PopupMenu::Options& options)
{
    return options.getParentComponent();
}
