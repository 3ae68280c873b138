#include "panel_test_support.h"

#include "platform/cloud_documents.h"
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

            if (item.subMenu != nullptr)
                for (auto& inner : linesOf (*item.subMenu, path + item.text + "/"))
                    lines.push_back (inner);
            else
                lines.push_back (item.isSeparator ? "-" : path + item.text + "=" + juce::String (item.itemID));
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

        Lines menu() const              { return linesOf (*panel->presetsCombo->getRootMenu()); }
        juce::String shown() const      { return panel->presetsCombo->getText(); }
        TextEditPanel& entry() const    { return *panel->textEditPanel; }
        juce::String status() const     { return entry().iCloudStatusLabel->getText(); }
        void pick (int id) const        { panel_tests::choose (*panel->presetsCombo, id); }
        void pick (const juce::String& name) const { pick (processor->getUserPresetIndx (name) + 6); }
        void cancel() const             { entry().buttonClicked (entry().cancelButton.get()); }

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
    start ({ "pad", "drums:kick", "drums", "b:x", "a:b:c" });
    EXPECT_EQ (menu(), (Lines { "Copy factory presets=5", "Add preset=1", "Save as Default=3", "-",
                                "a/b/c=6", "a/b/x=7", "drums=8", "drums/kick=9", "pad=10" }));
    EXPECT_EQ (shown(), "");
    EXPECT_EQ (panel->presetsCombo->getTextWhenNothingSelected(), "Presets");
    pick (6);
    EXPECT_EQ (menu()[3], "Remove preset=4");
    EXPECT_EQ (shown(), "c");

    // The panel's refresh marks the current preset while it is modified.
    processor->setParameter (0, 0.5f);
    panel->update_UI();
    EXPECT_EQ (menu()[2], "Save preset=2");
    EXPECT_EQ (shown(), "* b:c *");      // only the first group is cut off
}

TEST_F (PresetMenu, EveryCommandWorksThroughTheMenu)
{
    start ({ "pad" });
    processor->setParameter (0, 0.4f);
    pick (5);
    EXPECT_EQ (processor->userPresetNames.size(), 8u);
    EXPECT_EQ (menu().front(), "Add preset=1");
    EXPECT_EQ (processor->getParameter (0), 0.4f);

    processor->iCloudAvailable = 1;     // as a standalone keeps it, with no cloud folder to use
    pick (1);
    EXPECT_EQ (status(), "iCloud disabled");
    answer ("drums:kick");
    EXPECT_FALSE (entry().isVisible());
    EXPECT_EQ (dryWetIn ("drums:kick.json"), 0.4f);
    EXPECT_EQ (shown(), "kick");

    processor->setParameter (0, 0.6f);
    panel->updateUserPresets();
    pick (1);
    EXPECT_EQ (entry().textEditor->getText(), "* kick *+");
    cancel();
    EXPECT_FALSE (entry().isVisible());
    EXPECT_EQ (processor->userPresetNames.size(), 9u);

    pick (2);
    EXPECT_EQ (dryWetIn ("drums:kick.json"), 0.6f);
    EXPECT_EQ (shown(), "kick");

    // Added under a listed name: that preset holds the changes and shows as current.
    processor->setParameter (0, 0.65f);
    panel->updateUserPresets();
    pick (1);
    answer ("pad");
    EXPECT_EQ (dryWetIn ("pad.json"), 0.65f);
    EXPECT_EQ (dryWetIn ("drums:kick.json"), 0.6f);
    EXPECT_EQ (shown(), "pad");

    processor->setParameter (0, 0.7f);
    pick (3);
    EXPECT_EQ (dryWetIn ("ZorvaluneDefault.json"), 0.7f);
    EXPECT_EQ (shown(), "");
    EXPECT_EQ (processor->presetModified.load(), 1);

    // Remove takes the preset the menu showed, even after the list has moved under it.
    pick ("pad");
    put (local(), "a.json", "{}");
    processor->getUserPresetNames (1);
    pick (4);
    EXPECT_FALSE (local().getChildFile ("pad.json").exists());
    EXPECT_EQ (processor->userPresetNames.count ("a"), 1u);
    EXPECT_EQ (shown(), "");
}

TEST_F (PresetMenu, APickLoadsTheNameItShowedAndTellsTheHostAsAProgramChangeDoes)
{
    start ({ "soft", "gone" });
    panel_tests::HostRecorder host (*processor);
    processor->setCurrentProgram (5);
    const auto programChange = host.changes;
    host.clear();

    const int softId = processor->getUserPresetIndx ("soft") + 6;
    put (local(), "a.json", "{}");     // another instance's preset moves "soft" down the list
    processor->getUserPresetNames (1);
    pick (softId);

    ASSERT_EQ (host.changes.size(), 48u);
    EXPECT_EQ (programChange.size(), 48u);

    for (size_t i = 0; i < 48; ++i)
    {
        EXPECT_EQ (host.changes[i].first, programChange[i].first);
        EXPECT_EQ (host.changes[i].second, processor->getParameter (host.changes[i].first));
    }

    EXPECT_TRUE (host.begun.empty() && host.ended.empty());
    EXPECT_EQ (shown(), "soft");

    host.clear();
    local().getChildFile ("gone.json").deleteFile();
    test_support::LogCapture log;
    pick ("gone");
    EXPECT_EQ (log.count ("selected preset gone does NOT exists"), 1);
    EXPECT_TRUE (host.changes.empty());
    EXPECT_EQ (shown(), "soft");
}

// The menu delivers a pick later; a refresh that comes first (a host change,
// MIDI, the sequencer) must not turn it into another command.
TEST_F (PresetMenu, APickRunsAsPickedWhenARefreshComesBeforeItArrives)
{
    start ({ "keep", "other" });
    pick ("keep");
    processor->setParameter (0, 0.5f);
    panel->updateUserPresets();
    ASSERT_EQ (shown(), "* keep *");

    const auto pickThenRefresh = [this] (int id)
    {
        panel->presetsCombo->setSelectedId (id);        // as the menu does: delivered asynchronously
        processor->setParameter (1, 0.3f);
        panel->update_UI();
        test_support::pumpMessages();
    };

    pickThenRefresh (2);        // "Save preset"
    EXPECT_EQ (dryWetIn ("keep.json"), 0.5f);
    EXPECT_EQ (processor->getParameter (0), 0.5f);
    EXPECT_EQ (shown(), "keep");

    pickThenRefresh (processor->getUserPresetIndx ("other") + 6);
    EXPECT_EQ (processor->currentUserPreset.get(), "other");
    EXPECT_EQ (processor->getParameter (0), 0.25f);

    panel->update_UI();         // the menu follows the processor again
    EXPECT_EQ (shown(), "other");
}

// A change seen while the menu is open waits for the menu, not for a pick:
// closed with Escape, it shows the change at the next refresh tick. (The menu
// itself needs a display: the standalone's test opens it for real.)
TEST_F (PresetMenu, AChangeSeenWhileTheMenuIsOpenShowsOnceItClosesWithoutAPick)
{
    start ({ "keep" });
    pick ("keep");
    auto& combo = *panel->presetsCombo;
    combo.juce::ComboBox::keyPressed (juce::KeyPress (juce::KeyPress::returnKey));     // opens as a click does
    ASSERT_TRUE (combo.isPopupActive());

    put (local(), "bb_new.json", "{}");
    processor->getUserPresetNames (1);
    panel->update_UI();
    EXPECT_EQ (menu().back(), "keep=6");      // the open menu's ids stay those the user sees

    combo.hidePopup();                        // what the menu's end does on Escape, or on the ticked item
    panel->timerCallback();
    EXPECT_EQ (menu().back(), "keep=7");
}

TEST_F (PresetMenu, ARefusedNameKeepsTheEntryOpenSayingWhy)
{
    start ({ "pad" });
    put (local(), "late.json", "{}");     // another instance's, not listed here yet
    pick ("pad");
    processor->setParameter (0, 0.5f);
    pick (1);

    for (auto& name : Lines { "", "   ", L"\u00a0\u00a0\u00a0", L"\u3000\u3000", ".", "..", ".hidden", "a/b", "a\\b", "tab\there", "late",
                              juce::String::repeatedString ("n", 251), "ZorvaluneDefault" })
    {
        answer (name);
        EXPECT_TRUE (entry().isVisible()) << name;
        EXPECT_NE (status(), "iCloud disabled") << name;
        EXPECT_EQ (status(), processor->checkPresetName (name)) << name;
    }

    EXPECT_EQ (processor->userPresetNames, Names { "pad" });
    EXPECT_EQ (filesIn (local()), 2);
    EXPECT_EQ (shown(), "* pad *");
    EXPECT_TRUE (panel_tests::writeSnapshot (panel->createComponentSnapshot (panel->getLocalBounds()), "preset_name_refused"));
}

TEST_F (PresetMenu, WritesIntoAReadOnlyFolderFailAndLoseNothing)
{
    start ({ "keep" });
    pick ("keep");
    processor->setParameter (0, 0.5f);
    panel->updateUserPresets();
    local().setReadOnly (true);

    const int exitCode = test_support::runUnprivileged ([this]
    {
        pick (2);
        pick (3);
        const bool kept = shown() == "* keep *";
        pick (1);
        answer ("new");
        const bool told = entry().isVisible() && status() == "The preset could not be written.";
        cancel();
        pick (4);
        return kept && told && shown() == "* keep *" && processor->userPresetNames == Names { "keep" };
    });

    local().setReadOnly (false);
    EXPECT_EQ (exitCode, 0);
    EXPECT_EQ (dryWetIn ("keep.json"), 0.25f);
    EXPECT_EQ (filesIn (local()), 1);
}

// "Save" from a menu built before the cloud folder went or came back writes
// the file the preset came from, under the name it has now; with that file's
// folder gone it says so and writes nothing.
TEST_F (PresetMenu, SaveWritesTheFileThePresetCameFromWhileTheCloudFolderComesAndGoes)
{
    const auto cloud = root.getChildFile ("cloud"), away = root.getChildFile ("away");
    put (cloud, "song.json", R"({ "Dry Wet": 0.25 })");
    platform::cloud_documents::setDocumentsFolder (cloud);
    start ({ "song" });
    const auto cloudDryWet = [] (const juce::File& folder) { return (float) juce::JSON::parse (folder.getChildFile ("song.json"))["Dry Wet"]; };
    const auto saveAfterTheFolderMoves = [this] (const char* preset, float dryWet, const juce::File& from, const juce::File& to)
    {
        pick (preset);
        processor->setParameter (0, dryWet);
        panel->updateUserPresets();
        ASSERT_TRUE (from.moveFileTo (to));
        pick (2);
    };

    saveAfterTheFolderMoves ("song.local", 0.5f, cloud, away);      // gone: local presets lose their suffix
    EXPECT_EQ (dryWetIn ("song.json"), 0.5f);
    EXPECT_EQ (filesIn (local()), 1);
    EXPECT_EQ (shown(), "song");

    saveAfterTheFolderMoves ("song", 0.6f, away, cloud);            // back: the local one is "song.local" again
    EXPECT_EQ (dryWetIn ("song.json"), 0.6f);
    EXPECT_EQ (cloudDryWet (cloud), 0.25f);
    EXPECT_EQ (shown(), "song.local");

    saveAfterTheFolderMoves ("song", 0.75f, cloud, away);           // the cloud's own, its folder gone
    EXPECT_EQ (dryWetIn ("song.json"), 0.6f);
    EXPECT_EQ (cloudDryWet (away), 0.25f);
    EXPECT_EQ (shown(), "");                                        // not the local namesake
    EXPECT_TRUE (panel->failureBubble != nullptr && panel->failureBubble->isVisible());
    EXPECT_TRUE (panel_tests::writeSnapshot (panel->createComponentSnapshot (panel->getLocalBounds()), "preset_folder_gone"));
}

TEST_F (PresetMenu, AStateSavedOnAnotherThreadWhileTheMenuLoadsNamesAPreset)
{
    start ({ "alpha", "beta" });

    // Both presets hold stored steps, which each load writes while the host reads them.
    for (int k = 0; k < ZorvaluneAudioProcessor::NUM_STEPS; ++k)
        processor->stepSnapshots.store (k, [k] (auto& step) { step[parameter_table::seqStepSaved] = (float) (k + 1); });

    ASSERT_NE (processor->getParameter (parameter_table::seqMode), 0.0f);

    for (auto* name : { "alpha", "beta" })
        ASSERT_TRUE (processor->writeUserPreset (name));

    std::atomic<bool> stop { false };
    Lines names;

    std::thread host ([&]
    {
        for (juce::MemoryBlock state; ! stop; state.reset())
        {
            processor->getStateInformation (state);
            names.push_back (juce::JSON::parse (state.toString())["currentUserPreset"].toString());
        }
    });

    for (int i = 0; i < 200; ++i)
        pick (i % 2 == 0 ? "alpha" : "beta");

    stop = true;
    host.join();

    for (auto& name : names)
        ASSERT_TRUE (name.isEmpty() || name == "alpha" || name == "beta") << name;
}
