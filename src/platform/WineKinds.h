#pragma once
// Which kinds of Windows program the installed Wine can run, told from its files before
// anything is started: the game is a 32-bit program, and a Wine without its 32-bit part starts
// it, says nothing useful and ends with success.
#include <QByteArray>
#include <QString>

namespace winekinds {

// The processor a Windows program is built for, from its PE file header.
enum class Machine { NotWindows, X86, X64, Other };

// Reads the machine field of a program's PE header from the first bytes of the file (they
// must reach the PE signature; headBytes says how many that takes).
Machine programMachine(const QByteArray &head);
qint64 headBytes(const QByteArray &dosHeader);

struct WineKinds
{
    bool known = false; // false: a wrapper we cannot look into, left to try
    bool runs32 = false;
    bool runs64 = false;
};

// Looks at the wine program and the loaders it leads to: an ELF loader by its class, a
// script (Debian's wine) by the loaders it names that exist, a 64-bit loader as able to run
// 32-bit programs too when 32-bit Windows libraries sit beside its 64-bit ones (WoW64).
WineKinds describe(const QString &wineProgram);

// Empty when this Wine can run the program; otherwise why not and what to install.
QString cannotRun(const QByteArray &programHead, const WineKinds &wine);

} // namespace winekinds
