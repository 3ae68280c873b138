#pragma once

// A page's children as data, shared by the pages: how each child is built,
// reached and released, and where it sits as fractions of the page's width
// (x, w) and height (y, h). A page lists its children once, in creation order,
// which is also the order they stack in (later on top).

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstddef>
#include <memory>

namespace page_children
{
    template <typename MemberPointer>
    struct member_traits;

    template <typename Page, typename T>
    struct member_traits<std::unique_ptr<T> Page::*>
    {
        using page = Page;
        using type = T;
    };

    template <auto member>
    using PageOf = typename member_traits<decltype (member)>::page;

    template <typename Page>
    struct Child
    {
        void (*create) (Page&);
        juce::Component* (*get) (const Page&);
        void (*release) (Page&);
        float x, y, w, h;
    };

    template <auto member>
    juce::Component* getChild (const PageOf<member>& page)   { return (page.*member).get(); }

    template <auto member>
    void releaseChild (PageOf<member>& page)                  { (page.*member).reset(); }

    // Creates the child, adds it visible, then gives it the settings of its
    // kind: `Design::configure (page, child)`.
    template <typename Design, auto member>
    void createChild (PageOf<member>& page)
    {
        auto& slot = page.*member;
        slot = std::make_unique<typename member_traits<decltype (member)>::type>();
        page.addAndMakeVisible (*slot);
        Design::configure (page, *slot);
    }

    template <typename Design, auto member>
    constexpr Child<PageOf<member>> child (float x, float y, float w, float h)
    {
        return { &createChild<Design, member>, &getChild<member>, &releaseChild<member>, x, y, w, h };
    }

    // Every child at its fractions of the page's current size.
    template <typename Page, std::size_t N>
    void layOut (Page& page, const Child<Page> (&children)[N])
    {
        for (auto& c : children)
            c.get (page)->setBounds (page.proportionOfWidth (c.x), page.proportionOfHeight (c.y),
                                     page.proportionOfWidth (c.w), page.proportionOfHeight (c.h));
    }

    // The row of `rows` whose `member` owns component `c` of `page`, or null.
    template <typename Page, typename Row, std::size_t N, typename T>
    const Row* rowFor (const Page& page, const Row (&rows)[N], T Row::* member, const juce::Component* c)
    {
        for (auto& row : rows)
            if (c != nullptr && (page.*(row.*member)).get() == c)
                return &row;

        return nullptr;
    }

    // The same for rows that reach their component through a function.
    template <typename Page, typename Row, std::size_t N>
    const Row* rowFor (const Page& page, const Row (&rows)[N], juce::Component* (*Row::* get) (const Page&),
                       const juce::Component* c)
    {
        for (auto& row : rows)
            if (c != nullptr && (row.*get) (page) == c)
                return &row;

        return nullptr;
    }

    // A fixed caption: not editable, its text through the translation, the
    // plain "Regular" font of `height`.
    void setUpCaption (juce::Label& label, const char* text, float height, juce::Justification justification);

    constexpr auto centred = juce::Justification::centred;
    constexpr auto centredLeft = juce::Justification::centredLeft;
    constexpr auto centredRight = juce::Justification::centredRight;

    // One caption label of a page.
    template <typename Page>
    struct Caption
    {
        std::unique_ptr<juce::Label> Page::* label;
        const char* text;
        float fontHeight;
        juce::Justification::Flags justification;
    };

    // Sets `label` up as its row of `captions` says.
    template <typename Page, std::size_t N>
    void setUpCaption (const Page& page, const Caption<Page> (&captions)[N], juce::Label& label)
    {
        const auto* caption = rowFor (page, captions, &Caption<Page>::label, &label);
        jassert (caption != nullptr);

        if (caption != nullptr)
            setUpCaption (label, caption->text, caption->fontHeight, caption->justification);
    }
}
