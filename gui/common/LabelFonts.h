#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <map>

// Pages shrink their labels' fonts with themselves but never grow them above
// the heights they were designed with.
namespace LabelFonts
{
    // The plain "Regular" font the pages give their labels.
    juce::Font regular (float height);

    // Records the current font height of every direct child label.
    void recordDesignHeights (const juce::Component& parent, std::map<juce::Label*, float>& heights);

    // At or above the design size every recorded label gets its design height
    // back (others keep theirs); below it every child label gets its design
    // height, or its current one when none is recorded, times scale plus 0.5.
    void rescale (const juce::Component& parent, const std::map<juce::Label*, float>& designHeights,
                  bool atLeastDesignSize, float scale);
}
