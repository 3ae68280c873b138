#include "ControlPanel.h"

#include "../../presets/factory_presets.h"

namespace
{
    // Command ids; user presets follow from firstPresetId in the names' order.
    enum { addPresetId = 1, savePresetId = 2, saveAsDefaultId = 3, removePresetId = 4, copyFactoryId = 5, firstPresetId = 6 };

    bool factoryCopiesMissing (const std::set<juce::String>& names)
    {
        for (const auto& preset : sPresets.list)
            if (preset.name != "default" && names.count ("factory:" + juce::String (preset.name)) == 0)
                return true;

        return false;
    }
}

void ControlPanel::updateUserPresets()
{
    const int index = processor.currentUserPresetIndex;
    const bool modified = processor.presetModified.load() != 0;
    const auto names = processor.userPresetNames;

    presetsCombo->clear (juce::dontSendNotification);

    if (factoryCopiesMissing (names))
        presetsCombo->addItem ("Copy factory presets", copyFactoryId);

    presetsCombo->addItem ("Add preset", addPresetId);

    if (modified && index >= 0)
        presetsCombo->addItem ("Save preset", savePresetId);

    presetsCombo->addItem ("Save as Default", saveAsDefaultId);

    if (index >= 0)
        presetsCombo->addItem ("Remove preset", removePresetId);

    presetsCombo->addSeparator();

    auto* root = presetsCombo->getRootMenu();
    int i = 0;

    for (const auto& name : names)
    {
        if (name.containsChar (':'))
        {
            root->setLookAndFeel (&popupLookAndFeel);
            add_groups_2_menu (i, name, root);
        }
        else
        {
            presetsCombo->addItem (name, i + firstPresetId);
        }

        ++i;
    }

    if (index < 0)
    {
        presetsCombo->setSelectedId (0, juce::dontSendNotification);
        return;
    }

    if (modified)
    {
        auto name = (size_t) index < names.size() ? *std::next (names.begin(), index) : juce::String();

        if (name.containsChar (':'))
            name = name.fromFirstOccurrenceOf (":", false, false);

        presetsCombo->changeItemText (index + firstPresetId, "* " + name + " *");
    }

    presetsCombo->setSelectedId (index + firstPresetId, juce::dontSendNotification);
}

void ControlPanel::add_groups_2_menu (int index, juce::String name, juce::PopupMenu* menu)
{
    const auto group = name.upToFirstOccurrenceOf (":", false, false);
    const auto rest = name.fromFirstOccurrenceOf (":", false, false);

    const auto fill = [&] (juce::PopupMenu& subMenu)
    {
        if (rest.containsChar (':'))
            add_groups_2_menu (index, rest, &subMenu);
        else
            subMenu.addItem (index + firstPresetId, rest, true, false);
    };

    // The first item of that name anywhere below, sub-menus included.
    for (juce::PopupMenu::MenuItemIterator it (*menu, true); it.next();)
    {
        auto& item = it.getItem();

        if (item.text != group)
            continue;

        if (item.subMenu != nullptr)
        {
            fill (*item.subMenu);
            return;
        }

        break;
    }

    juce::PopupMenu subMenu;
    subMenu.setLookAndFeel (&popupLookAndFeel);
    fill (subMenu);
    menu->addSubMenu (group, subMenu, true);
}
