// Reading a settings text. The reader accepts what the framework's JSON reader
// accepts and gives the same values, but is defined for every input: it never
// steps past the end of the text, never recurses without bound and never lets
// a number overflow.

#include "settings_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
    using text_pointer = juce::String::CharPointerType;

    bool isDigit (juce::juce_wchar c) { return c >= '0' && c <= '9'; }

    // The shape of a decimal number: digits, an optional fraction, an optional exponent.
    struct decimal
    {
        text_pointer start { nullptr };
        bool integral = true, mantissaIsZero = true, exponentNegative = false;
        int significantIntegerDigits = 0, significantExponentDigits = 0;
    };

    // Scans a number without its sign; false when the mantissa has no digit or
    // an exponent mark no digit after it.
    bool scanDecimal (text_pointer& at, decimal& d)
    {
        d.start = at;
        int mantissaDigits = 0;

        for (; isDigit (*at); ++at, ++mantissaDigits)
        {
            d.mantissaIsZero = d.mantissaIsZero && *at == '0';

            if (! d.mantissaIsZero)
                ++d.significantIntegerDigits;
        }

        if (*at == '.')
        {
            d.integral = false;

            for (++at; isDigit (*at); ++at, ++mantissaDigits)
                d.mantissaIsZero = d.mantissaIsZero && *at == '0';
        }

        if (mantissaDigits == 0)
            return false;

        if (*at == 'e' || *at == 'E')
        {
            d.integral = false;
            ++at;

            if (*at == '+' || *at == '-')
            {
                d.exponentNegative = *at == '-';
                ++at;
            }

            if (! isDigit (*at))
                return false;

            for (bool leading = true; isDigit (*at); ++at)
            {
                leading = leading && *at == '0';

                if (! leading)
                    ++d.significantExponentDigits;
            }
        }

        return true;
    }

    // The framework's decimal conversion, used only where it is defined: its
    // exponent arithmetic overflows from ten exponent digits on, and without an
    // exponent it mis-writes an integer part of more than a thousand digits.
    // Beyond that the value is infinity or zero, as it would be anyway.
    double valueOf (const decimal& d)
    {
        constexpr double infinity = std::numeric_limits<double>::infinity();

        if (d.mantissaIsZero)
            return 0.0;

        if (d.significantExponentDigits > 9)
            return d.exponentNegative ? 0.0 : infinity;

        if (d.integral && d.significantIntegerDigits > 309)
            return infinity;

        auto at = d.start;
        return juce::CharacterFunctions::readDoubleValue (at);
    }

    class json_reader
    {
    public:
        explicit json_reader (text_pointer text) : at (text) {}

        // The top-level object, or void: an array at the top is no settings object.
        juce::var settingsObject()
        {
            juce::var result;
            skipWhitespace();
            return matchIf ('{') && object (result, 1) ? result : juce::var();
        }

    private:
        text_pointer at;

        void skipWhitespace() { at = at.findEndOfWhitespace(); }

        bool matchIf (char c)
        {
            if (*at != (juce::juce_wchar) c)
                return false;

            ++at;
            return true;
        }

        // Every reader below stops at the end of the text and never steps over it.
        bool any (juce::var& out, int depth)
        {
            skipWhitespace();
            const auto c = *at;

            if (c == '{' || c == '[')
            {
                ++at;
                return c == '{' ? object (out, depth + 1) : array (out, depth + 1);
            }

            if (c == '"' || c == '\'')
            {
                ++at;
                juce::String s;

                if (! string (c, s))
                    return false;

                out = s;
                return true;
            }

            if (c == '-' || isDigit (c))
                return number (out);

            for (const auto& [word, value] : { std::pair { "true", juce::var (true) },
                                               std::pair { "false", juce::var (false) },
                                               std::pair { "null", juce::var() } })
            {
                if (c == (juce::juce_wchar) *word)
                {
                    for (const char* w = word; *w != 0; ++w)
                        if (! matchIf (*w))
                            return false;

                    out = value;
                    return true;
                }
            }

            return false;
        }

        // The items of an object or an array after its opening bracket, up to
        // `close`; a comma may follow the last one.
        template <typename ReadItem>
        bool items (char close, ReadItem&& readItem)
        {
            for (;;)
            {
                skipWhitespace();

                if (matchIf (close))
                    return true;

                if (! readItem())
                    return false;

                skipWhitespace();

                if (! matchIf (','))
                    return matchIf (close);
            }
        }

        bool object (juce::var& out, int depth)
        {
            if (depth > settings_text::maxNesting)
                return false;

            auto* object = new juce::DynamicObject();
            juce::var result (object);

            const auto property = [&]
            {
                juce::String name;
                juce::var value;

                if (! matchIf ('"') || ! string ('"', name) || name.isEmpty())
                    return false;

                skipWhitespace();

                if (! matchIf (':') || ! any (value, depth))
                    return false;

                // A repeated key keeps its place and takes the later value.
                object->getProperties().set (juce::Identifier (name), value);
                return true;
            };

            if (! items ('}', property))
                return false;

            out = result;
            return true;
        }

        bool array (juce::var& out, int depth)
        {
            if (depth > settings_text::maxNesting)
                return false;

            juce::var result { juce::Array<juce::var>() };

            const auto item = [&]
            {
                juce::var value;

                if (! any (value, depth))
                    return false;

                result.getArray()->add (value);
                return true;
            };

            if (! items (']', item))
                return false;

            out = result;
            return true;
        }

        // After the opening quote; the framework's escapes, each \u one character.
        bool string (juce::juce_wchar quote, juce::String& out)
        {
            juce::MemoryOutputStream buffer (256);

            for (;;)
            {
                auto c = *at;

                if (c == 0)
                    return false;

                ++at;

                if (c == quote)
                    break;

                if (c == '\\')
                {
                    c = *at;

                    if (c == 0)
                        return false;

                    ++at;

                    switch (c)
                    {
                        case 'a': c = '\a'; break;
                        case 'b': c = '\b'; break;
                        case 'f': c = '\f'; break;
                        case 'n': c = '\n'; break;
                        case 'r': c = '\r'; break;
                        case 't': c = '\t'; break;

                        case 'u':
                            c = 0;

                            for (int i = 0; i < 4; ++i)
                            {
                                const auto digit = juce::CharacterFunctions::getHexDigitValue (*at);

                                if (digit < 0)
                                    return false;

                                ++at;
                                c = (juce::juce_wchar) ((c << 4) + digit);
                            }

                            break;

                        default: break;   // the character itself
                    }
                }

                if (c == 0)
                    return false;

                buffer.appendUTF8Char (c);
            }

            out = buffer.toUTF8();
            return true;
        }

        // Whole numbers that fit 64 bits stay integers (32 bits where they fit),
        // as the framework keeps them; everything else becomes a double.
        bool number (juce::var& out)
        {
            const bool negative = matchIf ('-');

            if (negative)
                skipWhitespace();

            if (! isDigit (*at))
                return false;

            decimal d;

            if (! scanDecimal (at, d))
                return false;

            if (d.integral)
            {
                constexpr auto largest = (std::uint64_t) std::numeric_limits<juce::int64>::max();
                std::uint64_t magnitude = 0;
                bool fits = true;

                for (auto p = d.start; fits && p != at; ++p)
                {
                    const auto digit = (std::uint64_t) (*p - '0');
                    fits = magnitude <= (largest - digit) / 10;
                    magnitude = magnitude * 10 + digit;
                }

                if (fits)
                {
                    const auto v = negative ? -(juce::int64) magnitude : (juce::int64) magnitude;
                    out = (magnitude >> 31) != 0 ? juce::var (v) : juce::var ((int) v);
                    return true;
                }
            }

            const double v = valueOf (d);
            out = negative ? -v : v;
            return true;
        }
    };
}

juce::var settings_text::parse (const juce::String& text)
{
    if (text.getNumBytesAsUTF8() > maxTextBytes)
        return {};

    // The framework keeps broken UTF-8 as it came, and stepping over a broken
    // character may step past the end; the reader gets each character as the
    // framework's decoder reads it, written out whole. A character that
    // decodes to zero ends the text.
    juce::MemoryOutputStream wellFormed (text.getNumBytesAsUTF8() + 1);

    for (auto at = text.getCharPointer(); ! at.isEmpty();)
    {
        const auto c = at.getAndAdvance();

        if (c == 0)
            break;

        wellFormed.appendUTF8Char (c);
    }

    const auto readable = wellFormed.toUTF8();
    return json_reader (readable.getCharPointer()).settingsObject();
}

juce::var settings_text::parse (const void* data, std::size_t numBytes)
{
    if (data == nullptr)
        return {};

    const auto* bytes = static_cast<const char*> (data);
    const auto* end = bytes + std::min (numBytes, maxTextBytes + 1);
    const auto length = (std::size_t) (std::find (bytes, end, '\0') - bytes);

    return length > maxTextBytes ? juce::var() : parse (juce::String::fromUTF8 (bytes, (int) length));
}

std::optional<double> settings_text::finiteNumber (const juce::var& value)
{
    double d = 0.0;

    if (value.isInt() || value.isInt64() || value.isDouble())
    {
        d = (double) value;
    }
    else if (value.isString())
    {
        const auto s = value.toString();
        auto at = s.getCharPointer().findEndOfWhitespace();
        const bool negative = *at == '-';

        if (negative || *at == '+')
            ++at;

        decimal shape;

        if (! scanDecimal (at, shape) || *at.findEndOfWhitespace() != 0)
            return {};

        d = negative ? -valueOf (shape) : valueOf (shape);
    }
    else
    {
        return {};
    }

    if (! std::isfinite (d))
        return {};

    return d;
}
