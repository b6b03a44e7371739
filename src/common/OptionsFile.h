#pragma once
// The options file: six lines, one setting each, in the order of the Settings record.
// It is read from the current directory of drive C: and written into whatever folder the
// Options dialog's program-folder field names, so the two are the same file only when the
// program runs from its own folder.
#include <QString>
#include <QStringList>

#include "common/Modual1.h"

class Prompts;

namespace optionsfile {

// The options file's lines, one per setting, in file order.
constexpr int kLineCount = 6;

// "C:\<current directory>\options.txt".
QString readPath();
// The program-folder field followed by "\options.txt", whatever the field holds.
QString writePath(const QString &managerLocation);

// The file's lines: CR, CR LF and a lone LF each end a line; the break after the last line
// does not start another one.
QStringList splitLines(const QString &text);

// Field N of the record, in file order (0 = GameFolder ... 5 = TattooEditorPath).
QString &field(Settings &s, int index);
const QString &field(const Settings &s, int index);

// Start-up reads only the folders and the map editor: lines 1 to 3.
void applyStartupLines(Settings &record, const QStringList &lines);
// The dialog reads all six lines into both its fields and the record; missing lines leave
// both as they were.
void applyAllLines(Settings &record, Settings &fields, const QStringList &lines);

// The whole file as written: each field and a line break, then the extra line break the
// text write adds (not included here: writeText appends it).
QString optionsText(const Settings &fields);

// The whole file at the read path, or an empty text when it is missing or unreadable.
QString readText();

// Start-up: false on a first run (no or empty options file), leaving the record untouched.
bool LoadSettings(Settings &record);

QString firstRunMessage();

// The Options dialog's load step: on a first run the first-run message, else ReadOptionsFile.
void CheckOptionsFile(Settings &record, Settings &fields, Prompts &prompts);
void ReadOptionsFile(Settings &record, Settings &fields);

// Writes the dialog's fields to writePath(fields.ProgramFolder). The record is not touched.
bool WriteOptionsFile(const Settings &fields, QString *error = nullptr);

// The browse buttons: what each one offers and how much of the chosen path it drops.
struct BrowseRule
{
    const char *button;
    const char *field;
    const char *filter;
    int cut; // characters removed from the end of the chosen path
    bool acceptsFolder; // a chosen folder is taken whole, with a trailing backslash
    // When set, the cut applies only to a path ending in this name (any case); any other
    // path is taken whole.
    const char *cutOnly = nullptr;
};
const BrowseRule *browseRules(int *count);
const BrowseRule *browseRuleFor(const QString &button);

// What a browse button puts in its field for the dialog's answer (a Windows path): the cut,
// or for a folder-accepting button given a folder, the folder with a trailing backslash.
QString browsedField(const BrowseRule &rule, const QString &chosen, bool chosenIsFolder);

// The chosen path less `count` characters, empty when it is not longer than that.
QString cutTail(const QString &path, int count);

} // namespace optionsfile
