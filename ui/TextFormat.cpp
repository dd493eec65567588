#include "ui/TextFormat.h"

#include <cstring>

namespace
{
constexpr size_t bufferSize = 256;

/** Appends bytes to a fixed buffer and refuses the first character that would not fit, so the
    result is never cut inside a UTF-8 sequence. */
class Utf8Buffer
{
public:
    void append (const char* bytes, size_t count)
    {
        for (size_t i = 0; i < count && !m_full;)
        {
            const auto length = sequenceLength (static_cast<unsigned char> (bytes[i]));
            const auto take = std::min (length, count - i);

            if (m_used + take > bufferSize - 1)
            {
                m_full = true;
                break;
            }

            std::memcpy (m_bytes + m_used, bytes + i, take);
            m_used += take;
            i += take;
        }
    }

    void appendRepeated (char c, size_t count)
    {
        for (size_t i = 0; i < count; ++i)
            append (&c, 1);
    }

    juce::String toString() const { return juce::String::fromUTF8 (m_bytes, static_cast<int> (m_used)); }

private:
    static size_t sequenceLength (unsigned char lead)
    {
        if (lead >= 0xF0)
            return 4;
        if (lead >= 0xE0)
            return 3;
        if (lead >= 0xC0)
            return 2;
        return 1;
    }

    char m_bytes[bufferSize] = {};
    size_t m_used = 0;
    bool m_full = false;
};
}  // namespace

juce::String formatText (const juce::String& format, const std::array<juce::String, 4>& args)
{
    Utf8Buffer out;
    const char* p = format.toRawUTF8();
    size_t nextArg = 0;

    while (*p != 0)
    {
        if (*p != '%')
        {
            const char* run = p;
            while (*p != 0 && *p != '%')
                ++p;
            out.append (run, static_cast<size_t> (p - run));
            continue;
        }

        const char* start = p++;

        if (*p == '%')
        {
            out.append ("%", 1);
            ++p;
            continue;
        }

        bool zeroPad = false;
        bool leftAlign = false;

        for (; *p == '0' || *p == '-' || *p == ' ' || *p == '+' || *p == '#'; ++p)
        {
            zeroPad = zeroPad || *p == '0';
            leftAlign = leftAlign || *p == '-';
        }

        size_t width = 0;
        for (; *p >= '0' && *p <= '9'; ++p)
            width = std::min<size_t> (width * 10 + static_cast<size_t> (*p - '0'), bufferSize);

        if (*p != 's')
        {
            // Not a conversion this program uses: shown as written.
            out.append (start, static_cast<size_t> (p - start));
            continue;
        }

        ++p;
        const char* arg = nextArg < args.size() ? args[nextArg].toRawUTF8() : "";
        ++nextArg;

        const auto length = std::strlen (arg);
        const auto padding = width > length ? width - length : 0;

        if (leftAlign)
        {
            out.append (arg, length);
            out.appendRepeated (' ', padding);
        }
        else
        {
            out.appendRepeated (zeroPad ? '0' : ' ', padding);
            out.append (arg, length);
        }
    }

    return out.toString();
}
