#pragma once
// The two rules for the bytes of a text that more than one reader and writer need alike:
// how its line breaks are made CR LF, and how a byte is found eight at a time.
#include <QtGlobal>

namespace linebreaks {

// The code unit of a character, for bytes and for UTF-16 alike.
inline char16_t unitOf(char c) { return char16_t(static_cast<unsigned char>(c)); }
template <typename C>
char16_t unitOf(C c)
{
    return c.unicode();
}

// Appends data with every CR, LF and CR LF made CR LF. A CR at the end of the piece stays a
// lone break, so the piece must not end inside a CR LF pair.
template <typename Out, typename Char>
void appendCrLf(Out &out, const Char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = unitOf(data[i]);
        if (c == u'\r' || c == u'\n') {
            out.append(Char(u'\r'));
            out.append(Char(u'\n'));
            if (c == u'\r' && i + 1 < size && unitOf(data[i + 1]) == u'\n')
                ++i;
        } else {
            out.append(data[i]);
        }
    }
}

// Eight bytes at a time: whole files go through the text test and the break check.
constexpr quint64 kOnes = 0x0101010101010101ull;
constexpr quint64 kTop = 0x8080808080808080ull;

// High bit of each byte of w set where that byte equals c, and no other bit.
constexpr quint64 bytesEqual(quint64 w, unsigned char c)
{
    const quint64 t = w ^ (kOnes * c);
    return ~(((t & ~kTop) + ~kTop) | t) & kTop;
}

} // namespace linebreaks
