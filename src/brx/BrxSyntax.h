#pragma once
// The marker lines, and the two pieces of package syntax that both the writer and the streaming
// reader read: which marker starts at a place, and base64 as the format accepts it.
#include <QByteArray>

#include <optional>

namespace brx {

inline constexpr char kBegin[] = "###Begin_BRX###";
inline constexpr char kInstall[] = "###Install###";
inline constexpr char kInstallEnd[] = "###/Install###";
inline constexpr char kTitle[] = "###Title###";
inline constexpr char kTitleEnd[] = "###/Title###";
inline constexpr char kEnd[] = "###End_BRX###";

enum Marker { Begin, Install, InstallEnd, Title, TitleEnd, End, NoMarker };
inline constexpr const char *kMarkerText[] = {kBegin, kInstall, kInstallEnd, kTitle, kTitleEnd, kEnd};
inline constexpr qsizetype kMarkerLength[] = {
    qsizetype(sizeof kBegin - 1), qsizetype(sizeof kInstall - 1), qsizetype(sizeof kInstallEnd - 1),
    qsizetype(sizeof kTitle - 1), qsizetype(sizeof kTitleEnd - 1), qsizetype(sizeof kEnd - 1)};
inline constexpr qsizetype kLongestMarker = sizeof kBegin - 1;

// The marker whose text starts at at, with left bytes from there to the end, or NoMarker.
// at points at a '#'.
Marker markerAt(const char *at, qsizetype left);

// Base64 read as QByteArray::fromBase64Encoding reads it with AbortOnBase64DecodingErrors, line
// breaks dropped first: any length without padding, one or two '=' only at the very end of a
// text whose length is a multiple of four, nothing else. Taken piece by piece.
class Base64Stream
{
public:
    // Decoded bytes go to out when given (room for them made by the caller), else only counted.
    void feed(const char *data, qsizetype size, char *out = nullptr);
    bool valid() const { return !m_bad && (m_equals == 0 || m_chars % 4 == 0); }
    qint64 decoded() const { return m_decoded; }

private:
    unsigned m_bits = 0;
    int m_nbits = 0;
    qint64 m_chars = 0;
    int m_equals = 0;
    qint64 m_decoded = 0;
    bool m_bad = false;
};

// The whole of a binary entry's content decoded, or nothing when it is not valid base64.
std::optional<QByteArray> decodeBase64(const QByteArray &content);

} // namespace brx
