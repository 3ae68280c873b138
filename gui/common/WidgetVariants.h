#pragma once

#include "ZorvLNF.h"

// A combo box that takes no key: arrows, Return and every other key go on to
// the parent and the host. Mouse use is unchanged.
class ComboBox_IgnoreKeys : public juce::ComboBox
{
public:
    explicit ComboBox_IgnoreKeys (const juce::String& name = {});
    ~ComboBox_IgnoreKeys() override;

    bool keyPressed (const juce::KeyPress&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ComboBox_IgnoreKeys)
};

// The pages' look-and-feel with its own answer to where pop-up menus go: into
// the parent the menu options name, else into a window of their own.
class ForcePopupsInParentWindow : public ZorvLNF
{
public:
    ForcePopupsInParentWindow() = default;
    ~ForcePopupsInParentWindow() override;

    juce::Component* getParentComponentForMenuOptions (const juce::PopupMenu::Options&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ForcePopupsInParentWindow)
};
