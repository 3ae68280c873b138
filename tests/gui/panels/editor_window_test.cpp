#include "panel_test_support.h"

#include <atomic>
#include <thread>

using panel_tests::OpenEditor;

namespace
{
    struct FitCase
    {
        int windowW, windowH;
        juce::Rectangle<int> panel;
    };

    void PrintTo (const FitCase& c, std::ostream* os)   { *os << c.windowW << " x " << c.windowH; }

    class EditorFit : public testing::TestWithParam<FitCase> {};
}

TEST (EditorWindow, NewInstanceOpensAtDesignSize)
{
    ZorvaluneAudioProcessor p;
    const int counterBefore = p.editorNotifyCounter.load();
    OpenEditor open (p);

    ASSERT_NE (open.editor, nullptr);
    EXPECT_EQ (p.editorNotifyCounter.load(), counterBefore + 1);
    EXPECT_EQ (open.editor->getBounds(), juce::Rectangle<int> (0, 0, 800, 600));
    EXPECT_EQ (open.panel().getBounds(), juce::Rectangle<int> (0, 0, 800, 600));
    EXPECT_EQ (open.editor->naturalPanelWidth, 800);
    EXPECT_EQ (open.editor->naturalPanelHeight, 600);
    EXPECT_EQ (p.pluginResizedW.load(), 800);
    EXPECT_EQ (p.pluginResizedH.load(), 600);
    EXPECT_EQ (open.editor->panelOffset, juce::Point<int>());
}

TEST (EditorWindow, ResizableByHostAndCornerWithinLimits)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);
    auto& editor = *open.editor;

    EXPECT_TRUE (editor.isResizable());

    auto* limits = editor.getConstrainer();
    ASSERT_NE (limits, nullptr);
    EXPECT_EQ (limits->getMinimumWidth(), 40);
    EXPECT_EQ (limits->getMinimumHeight(), 40);
    EXPECT_EQ (limits->getMaximumWidth(), 1600);
    EXPECT_EQ (limits->getMaximumHeight(), 1200);

    int corners = 0;
    for (auto* child : editor.getChildren())
        corners += dynamic_cast<juce::ResizableCornerComponent*> (child) != nullptr ? 1 : 0;

    EXPECT_EQ (corners, 1);

    // A size asked beyond the limits is brought back within them.
    editor.setBoundsConstrained ({ 0, 0, 3000, 20 });
    EXPECT_EQ (editor.getWidth(), 1600);
    EXPECT_EQ (editor.getHeight(), 40);
}

TEST_P (EditorFit, PanelKeepsItsAspectCentredAndItsSizeIsStored)
{
    const auto c = GetParam();
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);

    open.editor->setSize (c.windowW, c.windowH);

    EXPECT_EQ (open.panel().getBounds(), c.panel);
    EXPECT_EQ (p.pluginResizedW.load(), c.panel.getWidth());
    EXPECT_EQ (p.pluginResizedH.load(), c.panel.getHeight());
}

INSTANTIATE_TEST_SUITE_P (WindowSizes, EditorFit, testing::Values (
    FitCase { 800, 600,   { 0, 0, 800, 600 } },
    FitCase { 1000, 600,  { 20, 0, 960, 600 } },    // 1.667 clamped to 1.6
    FitCase { 800, 700,   { 0, 50, 800, 600 } },
    FitCase { 700, 400,   { 30, 0, 640, 400 } },
    FitCase { 799, 600,   { 0, 0, 799, 599 } },     // 599.25 truncated
    FitCase { 40, 40,     { 0, 5, 40, 30 } },
    FitCase { 1600, 1200, { 0, 0, 1600, 1200 } },
    FitCase { 1600, 600,  { 320, 0, 960, 600 } }));

TEST (EditorWindow, NextEditorRestoresAStoredSizeOnlyWithinTheDesignSize)
{
    struct Case { int w, h; juce::Rectangle<int> reopened; };

    const Case cases[] = {
        { 700, 400,   { 0, 0, 640, 400 } },     // stored 640 x 400, restored and filled exactly
        { 1000, 600,  { 0, 0, 800, 600 } },     // stored 960 x 600: wider than the design
        { 40, 40,     { 0, 0, 800, 600 } },     // stored 40 x 30: below 41
        { 1600, 1200, { 0, 0, 800, 600 } },
        { 799, 600,   { 0, 0, 799, 599 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.w) + " x " + juce::String (c.h));
        ZorvaluneAudioProcessor p;

        {
            OpenEditor first (p);
            first.editor->setSize (c.w, c.h);
        }

        OpenEditor second (p);
        EXPECT_EQ (second.editor->getLocalBounds(), c.reopened);
        EXPECT_EQ (second.panel().getBounds(), c.reopened);
    }
}

TEST (EditorWindow, PaintsBlackBarsAroundTheFittedPanel)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);
    open.editor->setSize (1000, 600);

    const auto image = open.editor->createComponentSnapshot (open.editor->getLocalBounds());

    EXPECT_EQ (image.getPixelAt (10, 300).getARGB(), 0xff000000u);
    EXPECT_EQ (image.getPixelAt (990, 300).getARGB(), 0xff000000u);
    EXPECT_EQ (image.getPixelAt (500, 70).getARGB(), 0xff783232u);    // the panel's header band
}

TEST (EditorWindow, RefreshRequestFromAnotherThreadRunsOnTheMessageThread)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);
    auto& weightButton = *open.panel().weightButton;

    test_support::pumpMessages();
    weightButton.setVisible (true);

    std::thread worker ([&p] { p.notifyEditor(); });
    worker.join();

    // Nothing ran on the worker: the refresh waits for the message loop.
    EXPECT_TRUE (weightButton.isVisible());
    EXPECT_TRUE (test_support::pumpMessagesUntil ([&] { return ! weightButton.isVisible(); }));
}

TEST (EditorWindow, ClosingWithARefreshPendingIsSafe)
{
    ZorvaluneAudioProcessor p;
    std::atomic<bool> stop { false };

    std::thread automation ([&]
    {
        const int automated[] = { 0, 5, 17, 21, 25, 29, 41 };

        for (int i = 0; ! stop.load(); ++i)
            p.setParameter (automated[i % 7], (float) (i % 100) / 100.0f);
    });

    for (int round = 0; round < 5; ++round)
    {
        OpenEditor open (p);
        test_support::pumpMessagesFor (30);
        open.editor->triggerAsyncUpdate();
    }

    stop = true;
    automation.join();
    test_support::pumpMessages();

    EXPECT_EQ (p.getActiveEditor(), nullptr);
}

TEST (EditorWindow, SnapshotsOfTheWholeEditorShowEveryCaptionAndKnob)
{
    ZorvaluneAudioProcessor p;
    OpenEditor open (p);

    for (auto [w, h] : { std::pair { 800, 600 }, std::pair { 1000, 600 } })
    {
        open.editor->setSize (w, h);
        const auto image = open.editor->createComponentSnapshot (open.editor->getLocalBounds());
        ASSERT_EQ (image.getBounds(), open.editor->getLocalBounds());

        SCOPED_TRACE (juce::String (w) + " x " + juce::String (h));
        EXPECT_GT (panel_tests::expectCaptionsAndKnobsLit (image, *open.editor, open.panel()), 40);

        EXPECT_TRUE (panel_tests::writeSnapshot (image, "editor_" + juce::String (w) + "x" + juce::String (h)));
    }
}
