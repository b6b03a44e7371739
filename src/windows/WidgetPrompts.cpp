#include "windows/WidgetPrompts.h"
#include "platform/DialogPaths.h"
#include "platform/WinPath.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace {

// Where the sidebar keeps each row's folder (Qt's own role number for it).
constexpr int kSidebarUrlRole = Qt::UserRole + 1;

// The sidebar's rows as Qt names them, with the drive letter put in front of a drive's root.
class DriveLabels : public QIdentityProxyModel
{
public:
    DriveLabels(QList<dialogpaths::Drive> drives, QObject *parent) : QIdentityProxyModel(parent), m_drives(std::move(drives)) {}

    QVariant data(const QModelIndex &index, int role) const override
    {
        const QVariant shown = QIdentityProxyModel::data(index, role);
        if (role != Qt::DisplayRole)
            return shown;
        const QUrl url = QIdentityProxyModel::data(index, kSidebarUrlRole).toUrl();
        return url.isLocalFile() ? dialogpaths::sidebarLabel(m_drives, url.toLocalFile(), shown.toString()) : shown;
    }

private:
    QList<dialogpaths::Drive> m_drives;
};

// Qt's dialog greys its Open (or Save) button whenever the name field holds no file it knows,
// which covers the answers it cannot see coming: a typed Windows path, and in a dialog that
// takes folders, the folder shown with nothing typed. The button is given back for those.
class AnswerButtonKeeper : public QObject
{
public:
    AnswerButtonKeeper(QPushButton *button, QLineEdit *name, std::function<bool()> canAnswer)
        : QObject(button), m_button(button), m_canAnswer(std::move(canAnswer))
    {
        button->installEventFilter(this);
        // Qt's own handler of the same edit runs first; a still-disabled button sees no change.
        connect(name, &QLineEdit::textChanged, this, &AnswerButtonKeeper::recheckSoon);
        recheck();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_button && event->type() == QEvent::EnabledChange && !m_button->isEnabled())
            recheckSoon(); // not from inside Qt's own setEnabled call
        return false;
    }

private:
    void recheck()
    {
        if (!m_button->isEnabled() && m_canAnswer())
            m_button->setEnabled(true);
    }
    void recheckSoon() { QTimer::singleShot(0, this, [this] { recheck(); }); }

    QPushButton *m_button;
    std::function<bool()> m_canAnswer;
};

// The host's dialog, taught the prefix: typed Windows paths are mapped before it sees them,
// and (for the program folder) the folder itself is an answer.
class PrefixFileDialog : public QFileDialog
{
public:
    PrefixFileDialog(QWidget *parent, const FileRequest &request) : QFileDialog(parent), m_request(request)
    {
        // The sidebar and the typed-path handling live in Qt's own dialog; a desktop portal's
        // dialog would show neither.
        setOption(QFileDialog::DontUseNativeDialog);
        const bool save = request.mode == FileRequest::Mode::Save;
        setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QPushButton *answer = buttons ? buttons->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open) : nullptr;
        if (answer && name) {
            const bool folders = request.acceptFolder;
            new AnswerButtonKeeper(answer, name, [name, folders] {
                const QString typed = name->text().trimmed();
                return dialogpaths::isWindowsPath(typed) || (folders && typed.isEmpty());
            });
        }
    }

    QString chosen() const { return m_chosen.isEmpty() ? selectedFiles().value(0) : m_chosen; }

    // Drives first, by their letters, then the user's home.
    void showDrives()
    {
        const QList<dialogpaths::Drive> drives = dialogpaths::drives();
        QList<QUrl> urls;
        for (const dialogpaths::Drive &drive : drives)
            urls << QUrl::fromLocalFile(drive.hostRoot);
        urls << QUrl::fromLocalFile(QDir::homePath());
        setSidebarUrls(urls);
        auto *sidebar = findChild<QListView *>(QStringLiteral("sidebar"));
        if (!sidebar || !sidebar->model())
            return;
        // The sidebar's own model renames its rows whenever the file system model reports
        // news, so labels written into it come and go; a view on top of it keeps them.
        auto *labels = new DriveLabels(drives, sidebar);
        labels->setSourceModel(sidebar->model());
        sidebar->setModel(labels);
        // A new model brings a new selection model, which the sidebar has not been told of:
        // moving the current row is what takes the dialog to that folder.
        QObject::connect(sidebar->selectionModel(), SIGNAL(currentChanged(QModelIndex, QModelIndex)), sidebar,
                         SLOT(clicked(QModelIndex)), Qt::UniqueConnection);
    }

    void accept() override
    {
        const QLineEdit *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QString typed = name ? name->text() : QString();
        const bool save = m_request.mode == FileRequest::Mode::Save;
        // Pressing Open with nothing typed, in a folder-accepting dialog, takes the folder shown.
        if (m_request.acceptFolder && typed.trimmed().isEmpty()) {
            m_chosen = directory().absolutePath();
            QDialog::accept();
            return;
        }
        dialogpaths::Decision decision = dialogpaths::decideTyped(typed, save, m_request.acceptFolder);
        if (decision.action == dialogpaths::Action::LeaveToDialog && m_request.acceptFolder && !typed.isEmpty()) {
            const QString host = QDir(directory()).absoluteFilePath(typed);
            if (QFileInfo(host).isDir())
                decision = {dialogpaths::Action::Choose, host};
        }
        switch (decision.action) {
        case dialogpaths::Action::LeaveToDialog:
            QFileDialog::accept();
            return;
        case dialogpaths::Action::EnterFolder:
            setDirectory(decision.hostPath);
            if (QLineEdit *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->clear();
            return;
        case dialogpaths::Action::Choose:
            m_chosen = decision.hostPath;
            QDialog::accept();
            return;
        case dialogpaths::Action::NotFound:
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("%1\n(%2)\nFile not found.").arg(typed.trimmed(), decision.hostPath));
            return;
        }
    }

private:
    FileRequest m_request;
    QString m_chosen;
};

} // namespace

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
    PrefixFileDialog dialog(QApplication::activeWindow(), request);
    if (!request.filter.isEmpty())
        dialog.setNameFilter(qtFilter(request.filter));
    dialog.showDrives();
    if (!request.initialPath.isEmpty()) {
        const QFileInfo initial(winpath::toHost(request.initialPath));
        if (request.acceptFolder && initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else {
            dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.chosen().isEmpty())
        return std::nullopt;
    return winpath::fromHost(dialog.chosen());
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
