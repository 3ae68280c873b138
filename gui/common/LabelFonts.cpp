#include "LabelFonts.h"

namespace LabelFonts
{
    juce::Font regular (float height)
    {
        return juce::Font (height, juce::Font::plain).withTypefaceStyle ("Regular");
    }

    void recordDesignHeights (const juce::Component& parent, std::map<juce::Label*, float>& heights)
    {
        for (auto* child : parent.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
                heights[label] = label->getFont().getHeight();
    }

    void rescale (const juce::Component& parent, const std::map<juce::Label*, float>& designHeights,
                  bool atLeastDesignSize, float scale)
    {
        for (auto* child : parent.getChildren())
        {
            auto* label = dynamic_cast<juce::Label*> (child);

            if (label == nullptr)
                continue;

            const auto recorded = designHeights.find (label);

            if (atLeastDesignSize)
            {
                if (recorded != designHeights.end())
                    label->setFont (regular (recorded->second));
            }
            else
            {
                const float base = recorded != designHeights.end() ? recorded->second
                                                                   : label->getFont().getHeight();
                label->setFont (regular (base * scale + 0.5f));
            }
        }
    }
}
