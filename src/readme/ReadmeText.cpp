#include "readme/ReadmeText.h"

#include "common/Hosts.h"
#include "platform/FileIO.h"

namespace readme {

bool isFilled(const QString &field) { return field.size() >= 2; }

QString mapInstructionLine(const QString &makerHost, const QString &partnerHost)
{
    // The wording, the folder misspelling and the double blank are what authors have been
    // shipping in their readmes; keep them as they are.
    return QLatin1String("Either use the Veldrin downloadble from ") + makerHost + QLatin1String(" and ")
        + partnerHost + QLatin1String("/fernlow")
        + QLatin1String(" to install or copy the .txt file in to the Black and White install directory  & "
                        "\\Sripts\\Playgrounds .");
}

} // namespace readme

QString ComposeReadme(const ReadmeFields &fields)
{
    const auto crlf = QLatin1String("\r\n");
    QString out;
    auto line = [&](const QString &text) { out += text + crlf; };
    auto blank = [&] { out += crlf; };
    // Multi-line fields come from the text boxes with bare LF breaks; lengths are judged on
    // the text as it will stand in the file.
    auto field = [](const QString &text) { return fileio::normalizeLineBreaks(text); };

    const QString title = field(fields.title);
    const QString name = field(fields.name);
    QString head = QStringLiteral("--- ");
    if (readme::isFilled(title))
        head += title;
    if (readme::isFilled(name))
        head += QLatin1String(" by ") + name;
    line(head + QLatin1String(" ---"));
    blank();
    line(QStringLiteral("--- Installation instructions ---"));
    blank();
    if (fields.type == QLatin1String("Map"))
        line(readme::mapInstructionLine(hosts::maker(), hosts::partner()));
    blank();

    const QString address = field(fields.address);
    if (readme::isFilled(address)) {
        line(QLatin1String("*** Please visit my site at ") + address + QLatin1String(" ***"));
        blank();
    }
    const QString description = field(fields.description);
    if (readme::isFilled(description)) {
        line(QStringLiteral("--- Description ---"));
        line(description);
        blank();
    }
    const QString comments = field(fields.comments);
    if (readme::isFilled(comments)) {
        line(QStringLiteral("--- Comments ---"));
        blank();
        line(comments);
        blank();
    }
    const QString thanks = field(fields.thanks);
    if (readme::isFilled(thanks)) {
        line(QStringLiteral("-- Thanks to ---"));
        blank();
        line(thanks);
        blank();
    }
    const QString contact = field(fields.contact);
    if (readme::isFilled(contact)) {
        line(QStringLiteral("--- If you need to contact me then mail "));
        line(contact);
        line(QStringLiteral(" ---"));
    }
    return out;
}
