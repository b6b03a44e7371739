#pragma once
// Files as the game and its tools know them: 8-bit Windows-1252 text with CR LF line ends,
// and binary files copied byte for byte. Paths are Windows paths (see WinPath.h).
// Every write is atomic (see HostFiles.h): a failure leaves the old file whole. No folder is
// ever created.
#include <QByteArray>
#include <QString>
#include <optional>

namespace fileio {

QString decode1252(const QByteArray &bytes);
QByteArray encode1252(const QString &text);

// CR, LF and CR LF all become CR LF, as a text view hands its content back.
QString normalizeLineBreaks(const QString &text);

// A file "is not text" when it holds NUL or a control byte other than TAB, LF, VT, FF, CR, 0x1A.
bool isText(const QByteArray &bytes);

std::optional<QByteArray> readBytes(const QString &windowsPath, QString *error = nullptr);

// The whole file as a text buffer holds it: decoded, line breaks as CR LF.
std::optional<QString> loadText(const QString &windowsPath, QString *error = nullptr);

// The whole file as a text view holds it: decoded, every line break (CR, LF or CR LF) one LF.
std::optional<QString> loadViewText(const QString &windowsPath, QString *error = nullptr);

// What writeText writes for a text view's content, made in one pass: every line break (CR,
// LF, CR LF, or a view's paragraph or line separator) as CR LF, Windows-1252, one CR LF added.
QByteArray encodeTextFile(const QString &text);

// Creates or replaces the file with text + CR LF.
bool writeText(const QString &windowsPath, const QString &text, QString *error = nullptr);

// Creates or replaces the file with exactly these bytes.
bool writeBytes(const QString &windowsPath, const QByteArray &bytes, QString *error = nullptr);

bool exists(const QString &windowsPath);

} // namespace fileio
