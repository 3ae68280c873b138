#include <gtest/gtest.h>

#include "gui/common/TextEditPanel.h"
#include "gui/common/WidgetVariants.h"

namespace juce { bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages); }

namespace
{
    struct Answer
    {
        int calls = 0;
        TextEditPanel* from = nullptr;
        int result = -1;
        juce::String text;
    };

    void listen (TextEditPanel& panel, Answer& answer)
    {
        panel.resultCallback = [&answer] (TextEditPanel* p, int result, juce::String text)
        {
            ++answer.calls;
            answer.from = p;
            answer.result = result;
            answer.text = text;
        };
    }
}

TEST (TextEditPanel, DesignSizeLayout)
{
    TextEditPanel panel;
    EXPECT_EQ (panel.getWidth(), 350);
    EXPECT_EQ (panel.getHeight(), 100);

    EXPECT_EQ (panel.textEditor->getBounds(), juce::Rectangle<int> (16, 16, 312, 32));
    EXPECT_EQ (panel.okButton->getBounds(), juce::Rectangle<int> (280, 64, 40, 24));
    EXPECT_EQ (panel.cancelButton->getBounds(), juce::Rectangle<int> (184, 64, 72, 24));
    EXPECT_EQ (panel.iCloudStatusLabel->getBounds(), juce::Rectangle<int> (16, 62, 162, 36));
    EXPECT_FLOAT_EQ (panel.iCloudStatusLabel->getFont().getHeight(), 14.0f);

    EXPECT_EQ (panel.textEditor->getName(), "text editor");
    EXPECT_FALSE (panel.textEditor->isMultiLine());
    EXPECT_EQ (panel.okButton->getButtonText(), "OK");
    EXPECT_EQ (panel.cancelButton->getButtonText(), "Cancel");
    EXPECT_EQ (panel.iCloudStatusLabel->getText(), "iCloud enabled");
    EXPECT_EQ (panel.okButton->findColour (juce::TextButton::buttonColourId).getARGB(), 0x00FFFFFFu);
}

TEST (TextEditPanel, DoubleSizeGrowsTheFieldButNotButtonsOrFont)
{
    TextEditPanel panel;
    panel.setSize (700, 200);
    EXPECT_EQ (panel.textEditor->getBounds(), juce::Rectangle<int> (32, 32, 624, 64));
    EXPECT_EQ (panel.okButton->getBounds(), juce::Rectangle<int> (560, 128, 40, 24));
    EXPECT_EQ (panel.cancelButton->getBounds(), juce::Rectangle<int> (368, 128, 72, 24));
    EXPECT_FLOAT_EQ (panel.iCloudStatusLabel->getFont().getHeight(), 14.0f);
}

TEST (TextEditPanel, SmallerSizesShrinkTheLabelFont)
{
    TextEditPanel panel;
    panel.setSize (175, 50);
    EXPECT_FLOAT_EQ (panel.iCloudStatusLabel->getFont().getHeight(), 7.5f);
    EXPECT_EQ (panel.textEditor->getBounds(), juce::Rectangle<int> (8, 8, 156, 16));
    EXPECT_EQ (panel.okButton->getBounds(), juce::Rectangle<int> (140, 32, 40, 24));
    EXPECT_EQ (panel.iCloudStatusLabel->getBounds(), juce::Rectangle<int> (8, 31, 81, 18));

    panel.setSize (300, 100);
    EXPECT_NEAR (panel.iCloudStatusLabel->getFont().getHeight(), 14.0f * 300.0f / 350.0f + 0.5f, 1.0e-4f);

    // Back at the design size the recorded height returns, not a shrunk one.
    panel.setSize (350, 100);
    EXPECT_FLOAT_EQ (panel.iCloudStatusLabel->getFont().getHeight(), 14.0f);
}

TEST (TextEditPanel, OkReportsTheTypedTextAndCancelAnEmptyOne)
{
    TextEditPanel panel;
    Answer answer;
    listen (panel, answer);

    panel.textEditor->setText ("my best preset ever");
    panel.okButton->triggerClick();     // delivered through the message queue, as a real click is
    for (int i = 0; i < 100 && answer.calls == 0 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {}

    EXPECT_EQ (answer.calls, 1);
    EXPECT_EQ (answer.from, &panel);
    EXPECT_EQ (answer.result, 1);
    EXPECT_EQ (answer.text, "my best preset ever");

    panel.textEditor->setText ("typed but cancelled");
    panel.buttonClicked (panel.cancelButton.get());
    EXPECT_EQ (answer.calls, 2);
    EXPECT_EQ (answer.result, 0);
    EXPECT_TRUE (answer.text.isEmpty());

    // The panel neither clears its field nor hides itself.
    EXPECT_EQ (panel.textEditor->getText(), "typed but cancelled");
}

TEST (TextEditPanel, OkWithAnEmptyFieldReportsAnEmptyName)
{
    TextEditPanel panel;
    Answer answer;
    listen (panel, answer);

    panel.buttonClicked (panel.okButton.get());
    EXPECT_EQ (answer.calls, 1);
    EXPECT_EQ (answer.result, 1);
    EXPECT_TRUE (answer.text.isEmpty());

    juce::TextButton stranger ("other");
    panel.buttonClicked (&stranger);
    EXPECT_EQ (answer.calls, 1);
}

TEST (TextEditPanel, WithoutAHandlerButtonsDoNothing)
{
    TextEditPanel panel;
    EXPECT_NO_THROW (panel.buttonClicked (panel.okButton.get()));
    EXPECT_NO_THROW (panel.buttonClicked (panel.cancelButton.get()));
}

TEST (TextEditPanel, ConsumesNoKeys)
{
    TextEditPanel panel;
    EXPECT_FALSE (panel.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_FALSE (panel.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (panel.keyPressed (juce::KeyPress ('a')));
}

TEST (ComboBoxIgnoreKeys, ArrowsLeaveTheSelectionAndPassTheKeyOn)
{
    const auto fill = [] (juce::ComboBox& box)
    {
        box.addItem ("one", 1);
        box.addItem ("two", 2);
        box.addItem ("three", 3);
        box.setSelectedId (2, juce::dontSendNotification);
    };

    // A plain combo box takes the arrow and steps its selection...
    juce::ComboBox plain ("plain");
    fill (plain);
    EXPECT_TRUE (plain.keyPressed (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_EQ (plain.getSelectedId(), 3);

    // ...ours declines every key, so it goes on to the parent and the host.
    ComboBox_IgnoreKeys box ("box");
    fill (box);
    EXPECT_EQ (box.getName(), "box");

    for (int key : { juce::KeyPress::upKey, juce::KeyPress::downKey, juce::KeyPress::returnKey, (int) ' ' })
        EXPECT_FALSE (box.keyPressed (juce::KeyPress (key))) << key;

    EXPECT_EQ (box.getSelectedId(), 2);
}
