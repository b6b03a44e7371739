#include "windows/web/DownloadBar.h"

#include "common/Modual1.h"
#include "common/Prompts.h"
#include "platform/WinPath.h"
#include "web/DownloadFile.h"
#include "windows/WindowDesk.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

struct DownloadBar::Entry
{
    downloads::PartFile file;
    QString windowsFolder;
    qint64 received = 0;
    qint64 total = -1;
};

namespace {

QString bytes(qint64 count) { return QLocale(QLocale::English).toString(count); }

} // namespace

DownloadBar::DownloadBar(WindowDesk &desk, WebPane &pane, QWidget *parent) : QFrame(parent), m_desk(desk), m_pane(&pane)
{
    setObjectName(QStringLiteral("fraDownloads"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    m_lblDownload = new QLabel(this);
    m_lblDownload->setObjectName(QStringLiteral("lblDownload"));
    m_lblDownload->setTextFormat(Qt::PlainText);
    m_cmdCancelDownload = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancelDownload->setObjectName(QStringLiteral("cmdCancelDownload"));
    m_cmdCloseDownload = new QPushButton(QStringLiteral("Close"), this);
    m_cmdCloseDownload->setObjectName(QStringLiteral("cmdCloseDownload"));
    for (QPushButton *button : {m_cmdCancelDownload, m_cmdCloseDownload})
        button->setAutoDefault(false);
    layout->addWidget(m_lblDownload, 1);
    layout->addWidget(m_cmdCancelDownload);
    layout->addWidget(m_cmdCloseDownload);
    connect(m_cmdCancelDownload, &QPushButton::clicked, this, &DownloadBar::cmdCancelDownload_Click);
    connect(m_cmdCloseDownload, &QPushButton::clicked, this, &QWidget::hide);
    hide();
    m_pane->setDownloadWatcher(this);
}

DownloadBar::~DownloadBar()
{
    if (m_pane)
        m_pane->setDownloadWatcher(nullptr);
    for (auto &[id, entry] : m_running) {
        if (m_pane)
            m_pane->cancelDownload(id);
        entry->file.discard();
    }
}

int DownloadBar::barHeight() const { return sizeHint().height(); }

QString DownloadBar::downloadAsked(int id, const QString &suggestedName)
{
    const QString name = downloads::safeName(suggestedName);
    const QString programFolder = m_desk.settings().ProgramFolder;
    if (programFolder.isEmpty()) {
        showLine(QStringLiteral("Could not download %1: no program folder is set in Options.").arg(name), false);
        return {};
    }
    auto entry = std::make_unique<Entry>();
    entry->windowsFolder = downloads::folderOf(programFolder);
    QString error;
    if (!entry->file.begin(winpath::toHost(entry->windowsFolder), suggestedName, &error)) {
        showLine(QStringLiteral("Could not download %1: %2.").arg(name, error), false);
        return {};
    }
    const QString path = entry->file.tempPath();
    m_running[id] = std::move(entry);
    m_shown = id;
    showLatest();
    return path;
}

void DownloadBar::downloadProgress(int id, qint64 received, qint64 total)
{
    const auto found = m_running.find(id);
    if (found == m_running.end())
        return;
    found->second->received = received;
    found->second->total = total;
    if (id == m_shown)
        showLatest();
}

void DownloadBar::downloadEnded(int id, End end, const QString &reason)
{
    const auto found = m_running.find(id);
    if (found == m_running.end())
        return;
    const std::unique_ptr<Entry> entry = std::move(found->second);
    m_running.erase(found);
    const QString name = entry->file.name();
    QString line;
    QString saved;
    if (end == End::Completed) {
        QString error;
        if (entry->file.finish(&saved, &error))
            line = QStringLiteral("Saved %1 in %2").arg(QFileInfo(saved).fileName(), entry->windowsFolder);
        else
            line = QStringLiteral("Could not save %1: %2.").arg(name, error);
    } else {
        entry->file.discard();
        if (end == End::Cancelled)
            line = QStringLiteral("Cancelled %1: nothing was saved.").arg(name);
        else
            line = QStringLiteral("Could not download %1: %2.")
                       .arg(name, reason.isEmpty() ? QStringLiteral("the transfer failed") : reason.toLower());
    }
    // While others still run the line stays with them; the ending shows when the last one ends.
    if (id == m_shown || m_running.empty()) {
        m_shown = m_running.empty() ? 0 : m_running.rbegin()->first;
        if (m_shown)
            showLatest();
        else
            showLine(line, false);
    }
    if (!saved.isEmpty() && downloads::isAddOn(saved))
        offerInstall(saved, QFileInfo(saved).fileName());
}

void DownloadBar::showLatest()
{
    const auto found = m_running.find(m_shown);
    if (found == m_running.end())
        return;
    const Entry &entry = *found->second;
    QString line = QStringLiteral("Downloading %1: ").arg(entry.file.name());
    if (entry.total > 0)
        line += QStringLiteral("%1 of %2 bytes (%3%)")
                    .arg(bytes(entry.received), bytes(entry.total))
                    .arg(entry.received * 100 / entry.total);
    else
        line += QStringLiteral("%1 bytes").arg(bytes(entry.received));
    if (m_running.size() > 1)
        line += QStringLiteral(", %1 more running").arg(m_running.size() - 1);
    showLine(line, true);
}

void DownloadBar::showLine(const QString &text, bool running)
{
    m_lblDownload->setText(text);
    m_cmdCancelDownload->setVisible(running);
    m_cmdCloseDownload->setVisible(!running);
    show();
    raise();
}

void DownloadBar::cmdCancelDownload_Click()
{
    if (m_shown && m_pane)
        m_pane->cancelDownload(m_shown);
}

// Asked after the engine's signal has returned: a question waits in an event loop of its own.
void DownloadBar::offerInstall(const QString &hostPath, const QString &name)
{
    QPointer<DownloadBar> self(this);
    QTimer::singleShot(0, this, [self, hostPath, name] {
        if (self && self->m_desk.prompts().question(QStringLiteral("Install %1 now?").arg(name)))
            self->m_desk.openHostFiles({hostPath});
    });
}
