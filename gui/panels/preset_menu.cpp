#include "ControlPanel.h"
#include "control_panel_bindings.h"

#include "../../presets/factory_presets.h"

namespace
{
    // Command ids; user presets follow from firstPresetId in the names' order.
    enum { addPresetId = 1, savePresetId = 2, saveAsDefaultId = 3, removePresetId = 4, copyFactoryId = 5, firstPresetId = 6 };

    // What one rebuild of the menu reads from the processor.
    struct MenuState
    {
        int index;                              // the current user preset's position; -1 for none
        bool modified;
        const std::set<juce::String>& names;
    };

    bool factoryCopiesMissing (const MenuState& s)
    {
        for (const auto& preset : sPresets.list)
            if (preset.name != "default" && s.names.count ("factory:" + juce::String (preset.name)) == 0)
                return true;

        return false;
    }

    bool always (const MenuState&)                { return true; }
    bool presetIsCurrent (const MenuState& s)     { return s.index >= 0; }
    bool currentIsModified (const MenuState& s)   { return s.index >= 0 && s.modified; }

    void copyFactory (ControlPanel& p)            { p.processor.copyFactoryPresets(); }
    void saveAsDefault (ControlPanel& p)          { p.processor.saveDefaultSettings(); }

    void saveCurrent (ControlPanel& p)
    {
        if (const auto failure = p.processor.saveCurrentUserPreset(); failure.isNotEmpty())
            control_panel_bindings::tellFailure (p, *p.presetsCombo, failure);
    }

    // The preset the menu showed as current: its position may have moved since.
    void removeShown (ControlPanel& p)
    {
        if (p.presetMenuCurrent.isNotEmpty())
            p.processor.removeUserPreset (p.presetMenuCurrent);
    }

    // The name field starts from the current preset's item text, as shown.
    void askForName (ControlPanel& p)
    {
        auto& entry = *p.textEditPanel;
        auto& combo = *p.presetsCombo;

        if (const int index = p.processor.currentUserPresetIndex; index >= 0)
            entry.textEditor->setText (combo.getItemText (combo.indexOfItemId (index + firstPresetId)) + "+", true);

        entry.iCloudStatusLabel->setText (p.processor.cloudStatusText(), juce::dontSendNotification);
        entry.setVisible (true);
    }

    struct Command
    {
        int id;
        const char* text;
        bool (*offered) (const MenuState&);
        void (*run) (ControlPanel&);
        bool rebuildsMenu;      // the name entry rebuilds it when it answers
    };

    // In menu order.
    const Command commands[] = {
        { copyFactoryId,   "Copy factory presets", factoryCopiesMissing, copyFactory,   true },
        { addPresetId,     "Add preset",           always,               askForName,    false },
        { savePresetId,    "Save preset",          currentIsModified,    saveCurrent,   true },
        { saveAsDefaultId, "Save as Default",      always,               saveAsDefault, true },
        { removePresetId,  "Remove preset",        presetIsCurrent,      removeShown,   true },
    };
}

void ControlPanel::updateUserPresets()
{
    // A pick names items of the menu the user saw: leave that menu until it arrives.
    if (presetsCombo->getSelectedId() != presetMenuSelectedId || presetsCombo->isPopupActive())
    {
        presetMenuStale = true;
        return;
    }

    const auto names = processor.userPresetNames;
    const MenuState state { processor.currentUserPresetIndex, processor.presetModified.load() != 0, names };

    presetMenuStale = false;
    presetsCombo->clear (juce::dontSendNotification);

    for (auto& command : commands)
        if (command.offered (state))
            presetsCombo->addItem (command.text, command.id);

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

    presetMenuNames.assign (names.begin(), names.end());
    presetMenuCurrent = (size_t) state.index < presetMenuNames.size() ? presetMenuNames[(size_t) state.index] : juce::String();

    if (state.index < 0)
    {
        presetsCombo->setSelectedId (0, juce::dontSendNotification);
        presetMenuSelectedId = presetsCombo->getSelectedId();
        return;
    }

    if (state.modified)
    {
        auto shown = presetMenuCurrent;

        if (shown.containsChar (':'))
            shown = shown.fromFirstOccurrenceOf (":", false, false);

        presetsCombo->changeItemText (state.index + firstPresetId, "* " + shown + " *");
    }

    presetsCombo->setSelectedId (state.index + firstPresetId, juce::dontSendNotification);
    presetMenuSelectedId = presetsCombo->getSelectedId();
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

void control_panel_bindings::presetChosen (ControlPanel& p, int id)
{
    // The pick has arrived: what the combo shows now is no longer one on its way.
    p.presetMenuSelectedId = p.presetsCombo->getSelectedId();
    const bool stale = p.presetMenuStale;

    for (auto& command : commands)
        if (command.id == id)
        {
            command.run (p);

            if (command.rebuildsMenu || stale)
                p.updateUserPresets();

            return;
        }

    // A user preset, by the name listed under that id when the menu was built.
    const auto position = (size_t) (id - firstPresetId);
    const auto name = id >= firstPresetId && position < p.presetMenuNames.size() ? p.presetMenuNames[position] : juce::String();

    p.processor.loadUserPreset (name);
    p.updateUserPresets();
}

// A name that cannot be written, or a write that failed, keeps the entry open
// with the reason on its status line: nothing typed is lost.
void ControlPanel::presetNameEntered (TextEditPanel*, int result, juce::String text)
{
    juce::String problem;

    if (result == 1)
    {
        problem = processor.checkPresetName (text);

        if (problem.isEmpty() && ! processor.writeUserPreset (text))
            problem = "The preset could not be written.";
    }

    updateUserPresets();

    if (problem.isNotEmpty())
        textEditPanel->iCloudStatusLabel->setText (problem, juce::dontSendNotification);
    else
        textEditPanel->setVisible (false);
}
