#include "framework_lifetime.h"

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_audio_plugin_client/utility/juce_LinuxMessageThread.h>

void framework_lifetime::keepSetUpUntilUnloaded()
{
    // Both are counted: while these are held, no instance's end tears anything down.
    struct kept_up
    {
        juce::ScopedJuceInitialiser_GUI initialiser;
        juce::SharedResourcePointer<juce::MessageThread> messageThread;
    };

    static kept_up keptUntilUnloaded;
}
