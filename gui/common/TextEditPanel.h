#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <map>
#include <memory>

// The small overlay in which the user names a new preset. It knows nothing of
// presets: it reports OK (1, the typed text) or Cancel (0, empty text) through
// resultCallback and leaves hiding itself to its owner.
class TextEditPanel : public juce::Component,
                      public juce::TextEditor::Listener,
                      public juce::Button::Listener
{
public:
    TextEditPanel();
    ~TextEditPanel() override;

    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;
    void modifierKeysChanged (const juce::ModifierKeys&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    std::function<void (TextEditPanel*, int result, juce::String text)> resultCallback;

    // The owner fills the field and the status line before each showing.
    std::unique_ptr<juce::TextEditor> textEditor;
    std::unique_ptr<juce::TextButton> okButton;
    std::unique_ptr<juce::TextButton> cancelButton;
    std::unique_ptr<juce::Label> iCloudStatusLabel;

private:
    std::map<juce::Label*, float> labelFontHeights;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TextEditPanel)
};
