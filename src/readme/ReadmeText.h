#pragma once
// The readme text an add-on author gets from the readme creator's fields. Kept apart from
// the window so that its fixed layout can be checked line by line.
#include <QString>

struct ReadmeFields
{
    QString type; // the drop-down's text as typed or picked
    QString title;
    QString name;
    QString address;
    QString description;
    QString comments;
    QString thanks;
    QString contact;
};

namespace readme {

// One stray keystroke is not a value: a field needs at least two characters to count.
bool isFilled(const QString &field);

// The install hint for maps, naming both sites that carry the manager.
QString mapInstructionLine(const QString &makerHost, const QString &partnerHost);

} // namespace readme

// The whole readme, every line ending in CR LF; typed line breaks in the fields come out as
// CR LF too. The map hint uses the configured hosts.
QString ComposeReadme(const ReadmeFields &fields);
