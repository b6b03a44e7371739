#include "brx/BrxSyntax.h"

#include <cstring>

namespace brx {

Marker markerAt(const char *at, qsizetype left)
{
    // Every marker opens with "###" and the fourth or fifth byte tells which it can be, so a
    // lone '#' in a script costs a comparison or two.
    if (left < kMarkerLength[Title] || at[1] != '#' || at[2] != '#')
        return NoMarker;
    Marker m;
    switch (at[3]) {
    case 'B': m = Begin; break;
    case 'I': m = Install; break;
    case 'T': m = Title; break;
    case 'E': m = End; break;
    case '/': m = at[4] == 'I' ? InstallEnd : TitleEnd; break;
    default: return NoMarker;
    }
    const qsizetype length = kMarkerLength[m];
    return left >= length && std::memcmp(at, kMarkerText[m], size_t(length)) == 0 ? m : NoMarker;
}

namespace {

const signed char *base64Table()
{
    static const auto table = [] {
        struct Table
        {
            signed char value[256];
        } t;
        std::memset(t.value, -1, sizeof t.value);
        const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            t.value[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
        return t;
    }();
    return table.value;
}

} // namespace

void Base64Stream::feed(const char *data, qsizetype size, char *out)
{
    const signed char *const table = base64Table();
    const auto *text = reinterpret_cast<const unsigned char *>(data);
    for (qsizetype i = 0; i < size && !m_bad; ++i) {
        // Whole groups of four characters, the bulk of every line, three bytes at a time; the
        // rest (line breaks, padding, anything wrong) one character at a time below.
        if (m_nbits == 0 && m_equals == 0) {
            for (; i + 4 <= size; i += 4) {
                const int a = table[text[i]], b = table[text[i + 1]], c = table[text[i + 2]], d = table[text[i + 3]];
                if ((a | b | c | d) < 0)
                    break;
                const unsigned v = unsigned(a) << 18 | unsigned(b) << 12 | unsigned(c) << 6 | unsigned(d);
                if (out) {
                    out[m_decoded] = char(v >> 16);
                    out[m_decoded + 1] = char(v >> 8);
                    out[m_decoded + 2] = char(v);
                }
                m_decoded += 3;
                m_chars += 4;
            }
            if (i >= size)
                break;
        }
        const auto c = text[i];
        if (c == '\r' || c == '\n')
            continue;
        ++m_chars;
        if (c == '=') {
            m_bad = ++m_equals > 2;
            continue;
        }
        const int d = table[c];
        if (d < 0 || m_equals > 0) {
            m_bad = true;
            break;
        }
        m_bits = (m_bits << 6) | unsigned(d);
        m_nbits += 6;
        if (m_nbits >= 8) {
            m_nbits -= 8;
            if (out)
                out[m_decoded] = char(m_bits >> m_nbits);
            ++m_decoded;
            m_bits &= (1u << m_nbits) - 1;
        }
    }
}

std::optional<QByteArray> decodeBase64(const QByteArray &content)
{
    // Three bytes for every four characters, rounded up: room for whatever the stream yields.
    QByteArray bytes(content.size() / 4 * 3 + 3, Qt::Uninitialized);
    Base64Stream base64;
    base64.feed(content.constData(), content.size(), bytes.data());
    if (!base64.valid())
        return std::nullopt;
    bytes.truncate(base64.decoded());
    return bytes;
}

} // namespace brx
