#include "platform/WidgetPrompts.h"
#include "platform/WinPath.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QString WidgetPrompts::qtFilter(const QString &filter)
{
    if (filter.isEmpty())
        return {};
    const int bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    const QString description = filter.left(bar);
    const QString pattern = filter.mid(bar + 1);
    if (description.contains(QLatin1Char('(')))
        return description.left(description.indexOf(QLatin1Char('('))).trimmed() + QLatin1String(" (") + pattern + QLatin1Char(')');
    return description + QLatin1String(" (") + pattern + QLatin1Char(')');
}

std::optional<QString> WidgetPrompts::chooseFile(const FileRequest &request)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(request.mode == FileRequest::Mode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mode == FileRequest::Mode::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.filter.isEmpty())
        dialog.setNameFilter(qtFilter(request.filter));
    if (!request.initialPath.isEmpty()) {
        const QFileInfo initial(winpath::toHost(request.initialPath));
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return winpath::fromHost(dialog.selectedFiles().constFirst());
}

void WidgetPrompts::message(const QString &text)
{
    QMessageBox::information(QApplication::activeWindow(), QStringLiteral("Veldrin"), text, QMessageBox::Ok);
}

bool WidgetPrompts::question(const QString &text)
{
    return QMessageBox::question(QApplication::activeWindow(), QStringLiteral("Veldrin"), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
