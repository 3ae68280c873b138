#include "panel_test_support.h"

#include "tests/log_capture.h"
#include "tests/preset_folder_fixture.h"

#include <thread>

using Lines = std::vector<juce::String>;
using Names = std::set<juce::String>;

namespace
{
    // The menu as the user sees it: "text=id", sub-menus as "group/", separators as "-".
    Lines linesOf (const juce::PopupMenu& menu, const juce::String& path = {})
    {
        Lines lines;

        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            const auto& item = it.getItem();

            if (item.isSeparator)
                lines.push_back ("-");
            else if (item.subMenu != nullptr)
                for (auto& inner : linesOf (*item.subMenu, path + item.text + "/"))
                    lines.push_back (inner);
            else
                lines.push_back (path + item.text + "=" + juce::String (item.itemID));
        }

        return lines;
    }

    // A processor over preset files (each with Dry Wet 0.25), and its panel.
    class PresetMenu : public test_support::PresetFolderTest
    {
    protected:
        void TearDown() override
        {
            panel.reset();
            processor.reset();
            PresetFolderTest::TearDown();
        }

        void start (std::initializer_list<const char*> names)
        {
            for (auto* name : names)
                put (local(), juce::String (name) + ".json", R"({ "Dry Wet": 0.25 })");

            processor = std::make_unique<ZorvaluneAudioProcessor>();
            panel = std::make_unique<ControlPanel> (*processor);
        }

        Lines menu() const             { return linesOf (*panel->presetsCombo->getRootMenu()); }
        juce::ComboBox& combo() const  { return *panel->presetsCombo; }
        TextEditPanel& entry() const   { return *panel->textEditPanel; }
        int idOf (const juce::String& name) const { return processor->getUserPresetIndx (name) + 6; }
        void pick (int id) const       { panel_tests::choose (combo(), id); }

        void answer (const juce::String& typed) const
        {
            entry().textEditor->setText (typed);
            entry().buttonClicked (entry().okButton.get());
        }

        float dryWetIn (const juce::String& file) const
        {
            return (float) juce::JSON::parse (local().getChildFile (file))["Dry Wet"];
        }

        std::unique_ptr<ZorvaluneAudioProcessor> processor;
        std::unique_ptr<ControlPanel> panel;
    };
}

TEST_F (PresetMenu, CommandsFollowThePresetStateAndGroupsNestAsSubMenus)
{
    start ({});
    EXPECT_EQ (menu(), (Lines { "Copy factory presets=5", "Add preset=1", "Save as Default=3", "-" }));
    EXPECT_EQ (combo().getSelectedId(), 0);

    panel.reset();
    start ({ "pad", "drums:kick", "drums", "b:x", "a:b:c" });
    EXPECT_EQ (menu(), (Lines { "Copy factory presets=5", "Add preset=1", "Save as Default=3", "-",
                                "a/b/c=6", "a/b/x=7", "drums=8", "drums/kick=9", "pad=10" }));

    pick (6);
    EXPECT_EQ (menu()[2], "Save as Default=3");
    EXPECT_EQ (menu()[3], "Remove preset=4");
    EXPECT_EQ (combo().getText(), "c");

    processor->setParameter (0, 0.5f);
    panel->updateUserPresets();
    EXPECT_EQ (menu()[2], "Save preset=2");
    EXPECT_EQ (combo().getText(), "* b:c *");      // only the first group is cut off
}

TEST_F (PresetMenu, EveryCommandWorksThroughTheMenu)
{
    start ({ "pad" });

    // The copies leave the settings being worked on alone and the command goes.
    processor->setParameter (0, 0.4f);
    pick (5);
    EXPECT_TRUE (local().getChildFile ("factory:hell.json").existsAsFile());
    EXPECT_EQ (processor->userPresetNames.size(), 8u);
    EXPECT_EQ (menu().front(), "Add preset=1");
    EXPECT_EQ (processor->getParameter (0), 0.4f);

    processor->iCloudAvailable = 1;     // as a standalone keeps it, with no cloud folder to use
    pick (1);
    EXPECT_TRUE (entry().isVisible());
    EXPECT_EQ (entry().iCloudStatusLabel->getText(), "iCloud disabled");
    answer ("drums:kick");
    EXPECT_FALSE (entry().isVisible());
    EXPECT_EQ (dryWetIn ("drums:kick.json"), 0.4f);
    EXPECT_EQ (combo().getText(), "kick");

    // A modified preset's marked name starts the field; Cancel writes nothing.
    processor->setParameter (0, 0.6f);
    panel->updateUserPresets();
    pick (1);
    EXPECT_EQ (entry().textEditor->getText(), "* kick *+");
    entry().buttonClicked (entry().cancelButton.get());
    EXPECT_FALSE (entry().isVisible());
    EXPECT_EQ (processor->userPresetNames.size(), 9u);
    EXPECT_EQ (combo().getText(), "* kick *");

    pick (2);
    EXPECT_EQ (dryWetIn ("drums:kick.json"), 0.6f);
    EXPECT_EQ (combo().getText(), "kick");

    processor->setParameter (0, 0.7f);
    pick (3);
    EXPECT_EQ (dryWetIn ("ZorvaluneDefault.json"), 0.7f);
    EXPECT_EQ (combo().getSelectedId(), 0);
    EXPECT_EQ (processor->presetModified.load(), 1);

    // Remove takes the preset the menu showed, even after the list has moved under it.
    pick (idOf ("pad"));
    EXPECT_EQ (processor->getParameter (0), 0.25f);
    put (local(), "a.json", "{}");
    processor->getUserPresetNames (1);
    pick (4);
    EXPECT_FALSE (local().getChildFile ("pad.json").exists());
    EXPECT_TRUE (local().getChildFile ("a.json").exists());
    EXPECT_EQ (processor->userPresetNames.count ("pad"), 0u);
    EXPECT_EQ (combo().getSelectedId(), 0);
}

TEST_F (PresetMenu, APickLoadsTheNameItShowedAndTellsTheHostAsAProgramChangeDoes)
{
    start ({ "soft", "gone" });
    panel_tests::HostRecorder host (*processor);
    processor->setCurrentProgram (5);
    std::vector<int> programChange;

    for (auto& [index, value] : host.changes)
        programChange.push_back (index);

    host.clear();
    const int softId = idOf ("soft");
    put (local(), "a.json", "{}");     // another instance's preset moves "soft" down the list
    processor->getUserPresetNames (1);
    pick (softId);

    std::vector<int> menuLoad;

    for (auto& [index, value] : host.changes)
    {
        menuLoad.push_back (index);
        EXPECT_EQ (value, processor->getParameter (index)) << index;
    }

    EXPECT_EQ (programChange.size(), 48u);
    EXPECT_EQ (menuLoad, programChange);
    EXPECT_TRUE (host.begun.empty() && host.ended.empty());
    EXPECT_EQ (processor->currentUserPreset, "soft");
    EXPECT_EQ (combo().getText(), "soft");

    // A preset that cannot be loaded tells the host nothing and shows the last one again.
    host.clear();
    local().getChildFile ("gone.json").deleteFile();
    test_support::LogCapture log;
    pick (idOf ("gone"));
    EXPECT_EQ (log.count ("selected preset gone does NOT exists"), 1);
    EXPECT_TRUE (host.changes.empty());
    EXPECT_EQ (combo().getText(), "soft");
}

TEST_F (PresetMenu, ARefusedNameKeepsTheEntryOpenSayingWhy)
{
    start ({ "pad" });
    put (local(), "late.json", "{}");     // another instance's, not listed here yet
    const Lines refused { "", ".", "..", ".hidden", "a/b", "a\\b", "tab\there", "ZorvaluneDefault", "late",
                          juce::String::repeatedString ("n", 251) };

    pick (idOf ("pad"));
    processor->setParameter (0, 0.5f);
    pick (1);

    for (auto& name : refused)
    {
        answer (name);
        EXPECT_TRUE (entry().isVisible()) << name;
        EXPECT_NE (entry().iCloudStatusLabel->getText(), "iCloud disabled") << name;
        EXPECT_EQ (entry().iCloudStatusLabel->getText(), processor->checkPresetName (name)) << name;
    }

    EXPECT_EQ (processor->userPresetNames, Names { "pad" });
    EXPECT_EQ (filesIn (local()), 2);
    EXPECT_EQ (combo().getText(), "* pad *");

    answer ("ZorvaluneDefault");
    const auto folder = panel_tests::snapshotFolder();
    ASSERT_TRUE (folder.createDirectory());
    const auto file = folder.getChildFile ("preset_name_refused.png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    EXPECT_TRUE (juce::PNGImageFormat().writeImageToStream (panel->createComponentSnapshot (panel->getLocalBounds()), out));
}

TEST_F (PresetMenu, WritesIntoAReadOnlyFolderFailAndLoseNothing)
{
    start ({ "keep" });
    pick (idOf ("keep"));
    processor->setParameter (0, 0.5f);
    panel->updateUserPresets();
    local().setReadOnly (true);

    const int status = test_support::runUnprivileged ([this]
    {
        pick (2);
        const bool saveFailed = combo().getText() == "* keep *";
        pick (3);
        const bool defaultFailed = combo().getText() == "* keep *";
        pick (1);
        answer ("new");
        const bool addFailed = entry().isVisible() && entry().iCloudStatusLabel->getText() == "The preset could not be written.";
        entry().buttonClicked (entry().cancelButton.get());
        pick (4);
        return saveFailed && defaultFailed && addFailed && combo().getText() == "* keep *"
            && processor->userPresetNames == Names { "keep" };
    });

    local().setReadOnly (false);
    EXPECT_EQ (status, 0);
    EXPECT_EQ (dryWetIn ("keep.json"), 0.25f);
    EXPECT_EQ (filesIn (local()), 1);
}

TEST_F (PresetMenu, AStateSavedOnAnotherThreadWhileTheMenuLoadsNamesAPreset)
{
    start ({ "alpha", "beta" });
    std::atomic<bool> stop { false };
    Lines saved;

    std::thread host ([&]
    {
        while (! stop)
        {
            juce::MemoryBlock state;
            processor->getStateInformation (state);
            saved.push_back (juce::JSON::parse (state.toString())["currentUserPreset"].toString());
        }
    });

    for (int i = 0; i < 200; ++i)
        pick (idOf (i % 2 == 0 ? "alpha" : "beta"));

    stop = true;
    host.join();

    for (auto& name : saved)
        ASSERT_TRUE (name.isEmpty() || name == "alpha" || name == "beta") << name;
}
