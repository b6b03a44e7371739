#include "common/OptionsFile.h"

#include "common/Prompts.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"

#include <QRegularExpression>

namespace optionsfile {

QString readPath() { return winpath::currentDirectoryOfDriveC() + QLatin1String("\\options.txt"); }

QString writePath(const QString &managerLocation) { return managerLocation + QLatin1String("\\options.txt"); }

QStringList splitLines(const QString &text)
{
    QStringList lines;
    const int n = text.size();
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString &field(Settings &s, int index)
{
    switch (index) {
    case 0: return s.GameFolder;
    case 1: return s.ProgramFolder;
    case 2: return s.MapEditorPath;
    case 3: return s.LandscapeEditorPath;
    case 4: return s.SkinEditorPath;
    default: return s.TattooEditorPath;
    }
}

const QString &field(const Settings &s, int index) { return field(const_cast<Settings &>(s), index); }

void applyStartupLines(Settings &record, const QStringList &lines)
{
    for (int i = 0; i < 3 && i < lines.size(); ++i)
        field(record, i) = lines.at(i);
}

void applyAllLines(Settings &record, Settings &fields, const QStringList &lines)
{
    for (int i = 0; i < kLineCount && i < lines.size(); ++i) {
        field(record, i) = lines.at(i);
        field(fields, i) = lines.at(i);
    }
}

QString optionsText(const Settings &fields)
{
    QString text;
    for (int i = 0; i < kLineCount; ++i) {
        QString value = field(fields, i);
        // A pasted line break would shift every later setting onto the wrong line.
        const int cut = value.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
        if (cut >= 0)
            value.truncate(cut);
        text += value + QLatin1String("\r\n");
    }
    return text;
}

QString readText()
{
    const auto text = fileio::loadText(readPath());
    return text ? *text : QString();
}

QString firstRunMessage() { return QStringLiteral("Please enter some details so Veldrin can operate functionally"); }

bool LoadSettings(Settings &record)
{
    const QString text = readText();
    if (text.isEmpty())
        return false;
    applyStartupLines(record, splitLines(text));
    return true;
}

void ReadOptionsFile(Settings &record, Settings &fields) { applyAllLines(record, fields, splitLines(readText())); }

void CheckOptionsFile(Settings &record, Settings &fields, Prompts &prompts)
{
    if (readText().isEmpty()) {
        prompts.message(firstRunMessage());
        return;
    }
    ReadOptionsFile(record, fields);
}

bool WriteOptionsFile(const Settings &fields, QString *error)
{
    return fileio::writeText(writePath(fields.ProgramFolder), optionsText(fields), error);
}

namespace {
// The cuts are the lengths of "runblack.exe" and "Veldrin.exe": counted, never searched for.
const BrowseRule kRules[] = {
    {"Command1", "txtRunBlack", "Black and White (runblack.exe)|runblack.exe", 12, false},
    // On Linux there is no Veldrin.exe to point at: the folder itself is an answer too. The
    // cut is for Veldrin.exe only: the dialog, shared with the game's button, may still hold
    // runblack.exe's path after a cancel, and cut by 11 that names no folder at all.
    {"Command3", "txtManagerLocation", "Veldrin (Veldrin.exe)|Veldrin.exe", 11, true, "Veldrin.exe"},
    {"Command2", "txtMapCreator", "exeFiles (*.exe)|*.exe", 0, false},
    {"Command4", "txtLandscapeCreator", "exe Files (*.exe)|*.exe", 0, false},
    {"Command5", "txtTattooCreator", "exe Files (*.exe)|*.exe", 0, false},
    {"Command6", "txtSkinCreator", "exe Files (*.exe)|*.exe", 0, false},
};
} // namespace

const BrowseRule *browseRules(int *count)
{
    *count = int(sizeof kRules / sizeof kRules[0]);
    return kRules;
}

const BrowseRule *browseRuleFor(const QString &button)
{
    for (const BrowseRule &rule : kRules) {
        if (button == QLatin1String(rule.button))
            return &rule;
    }
    return nullptr;
}

QString browsedField(const BrowseRule &rule, const QString &chosen, bool chosenIsFolder)
{
    if (rule.acceptsFolder && chosenIsFolder && !chosen.isEmpty())
        return chosen.endsWith(QLatin1Char('\\')) ? chosen : chosen + QLatin1Char('\\');
    if (rule.cutOnly && !chosen.endsWith(QLatin1String(rule.cutOnly), Qt::CaseInsensitive))
        return chosen;
    return cutTail(chosen, rule.cut);
}

QString cutTail(const QString &path, int count)
{
    if (count <= 0)
        return path;
    return path.size() > count ? path.left(path.size() - count) : QString();
}

} // namespace optionsfile
