// Every caption the player can see must fit its control at the window's design size: a
// clipped button or label loses words the player needs ("NOTE this ..."). Each control is
// measured with its own font, as it will be drawn.
#include "DeskFixture.h"
#include "shell/frmAbout.h"
#include "shell/frmOptions.h"
#include "windows/install/frmHistory.h"
#include "windows/install/frmInstall.h"
#include "windows/managers/frmExtra.h"
#include "windows/managers/frmMap.h"
#include "windows/managers/frmTattoo.h"
#include "windows/readme/frmReadme.h"
#include "windows/web/frmBrowser.h"
#include "windows/web/frmUpdate.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>

namespace {

// A caption drawn right against a button's bevel reads as cut even when every pixel is there.
constexpr int kButtonBreathing = 3;

QString plain(QString caption)
{
    // Mnemonic markers are not drawn.
    return caption.remove(QLatin1Char('&'));
}

// The width a caption is laid out with; a fraction of a pixel of ink past it is not a cut.
int advance(const QFontMetrics &fm, const QString &text) { return fm.horizontalAdvance(text); }

// The height of one laid-out line, as the style draws a caption.
int lineHeight(const QFontMetrics &fm, const QString &text)
{
    return fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::TextSingleLine, text).height();
}

// Collects the captions that do not fit, each with what it needs and what it has, so one
// failure names every clipped control of a window.
class CaptionCheck
{
public:
    QStringList clipped;

    void window(QWidget *window)
    {
        QList<QWidget *> widgets = window->findChildren<QWidget *>();
        widgets.prepend(window);
        for (QWidget *w : widgets) {
            if (w != window && !w->isVisibleTo(window))
                continue;
            if (auto *label = qobject_cast<QLabel *>(w))
                check(label);
            else if (auto *push = qobject_cast<QPushButton *>(w))
                check(push, QStyle::SE_PushButtonContents, kButtonBreathing);
            else if (auto *option = qobject_cast<QRadioButton *>(w))
                check(option, QStyle::SE_RadioButtonContents);
            else if (auto *box = qobject_cast<QCheckBox *>(w))
                check(box, QStyle::SE_CheckBoxContents);
            else if (auto *frame = qobject_cast<QGroupBox *>(w))
                check(frame);
            else if (auto *tabs = qobject_cast<QTabBar *>(w))
                check(tabs);
            else if (auto *bar = qobject_cast<QMenuBar *>(w))
                check(bar);
        }
    }

    void check(QMenuBar *bar)
    {
        const QFontMetrics fm(bar->font());
        for (QAction *action : bar->actions()) {
            const QString text = plain(action->text());
            const QRect place = bar->actionGeometry(action);
            // An entry that does not fit the bar is moved into its overflow button and gets no place.
            if (place.isEmpty() || !bar->rect().contains(place) || place.width() < advance(fm, text))
                report(bar, text, {advance(fm, text), lineHeight(fm, text)}, place.size());
            if (QMenu *menu = action->menu())
                check(menu);
        }
    }

private:
    void report(const QWidget *w, const QString &text, QSize needs, QSize has)
    {
        const QString who = w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
        clipped << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6 (%7 %8px)")
                       .arg(who, text)
                       .arg(needs.width())
                       .arg(needs.height())
                       .arg(has.width())
                       .arg(has.height())
                       .arg(w->font().family())
                       .arg(w->font().pixelSize());
    }

    void check(QLabel *label)
    {
        const QString text = label->text();
        if (text.isEmpty() || !label->pixmap().isNull())
            return;
        const int m = label->margin();
        const QRect area = label->contentsRect().adjusted(m, m, -m, -m);
        const QFontMetrics fm(label->font());
        // Measured as the label lays its text out: one line, or lines broken at its width. Where
        // in its box the text sits does not change how much room it takes.
        const int flags = Qt::AlignLeft | Qt::AlignTop | (label->wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine);
        const QRect room(0, 0, label->wordWrap() ? area.width() : 1 << 20, 1 << 20);
        QSize needs = fm.boundingRect(room, flags, text).size();
        if (!label->wordWrap())
            needs.setWidth(qMax(needs.width(), advance(fm, text)));
        if (needs.width() > area.width() || needs.height() > area.height())
            report(label, text, needs, area.size());
    }

    // A push button's caption also keeps a little air inside its bevel; an option's needs none.
    void check(QAbstractButton *button, QStyle::SubElement contents, int breathing = 0)
    {
        const QString text = plain(button->text());
        if (text.isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        const QRect area = button->style()->subElementRect(contents, &option, button);
        const QFontMetrics fm(button->font());
        const QSize needs(advance(fm, text) + 2 * breathing, lineHeight(fm, text));
        if (needs.width() > area.width() || needs.height() > area.height())
            report(button, text, needs, area.size());
    }

    void check(QGroupBox *frame)
    {
        const QString text = plain(frame->title());
        if (text.isEmpty())
            return;
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = text;
        option.textAlignment = frame->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.lineWidth = 1;
        const QRect label =
            frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        const QFontMetrics fm(frame->font());
        if (label.left() < 0 || label.right() >= frame->width() || label.width() < advance(fm, text))
            report(frame, text, {advance(fm, text), lineHeight(fm, text)}, {frame->width() - label.left(), label.height()});
    }

    void check(QTabBar *tabs)
    {
        const QFontMetrics fm(tabs->font());
        const int padding = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
        // Tabs that run past their widget are reached through scroll arrows: as good as clipped.
        const int room = tabs->parentWidget() ? tabs->parentWidget()->width() - tabs->x() : tabs->width();
        for (int i = 0; i < tabs->count(); ++i) {
            const QString text = plain(tabs->tabText(i));
            const QRect place = tabs->tabRect(i);
            const int needs = fm.size(Qt::TextSingleLine, text).width() + padding;
            if (place.width() < needs || place.right() >= room)
                report(tabs, text, {needs, lineHeight(fm, text)}, place.size());
        }
    }

    void check(QMenu *menu)
    {
        const QFontMetrics fm(menu->font());
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            const QString text = plain(action->text());
            const QRect place = menu->actionGeometry(action);
            if (place.width() < advance(fm, text) || place.height() < lineHeight(fm, text))
                report(menu, text, {advance(fm, text), lineHeight(fm, text)}, place.size());
        }
    }
};

} // namespace

class test_Captions : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeskFixture> f;

    // Every clipped caption of the test so far; one failure then names them all.
    CaptionCheck check;

    // Puts a content window at its design size inside the frame and checks it together with
    // the menu bar it brings.
    void checkChild(QWidget *window)
    {
        QVERIFY(window);
        QMdiSubWindow *frame = DeskFixture::frameOf(window);
        frame->resize(frame->sizeHint());
        QCOMPARE(window->size(), window->sizeHint());
        checkWindow(window);
        check.check(f->desk->mdi()->currentMenuBar());
    }

    void checkWindow(QWidget *window)
    {
        QVERIFY(window);
        QCoreApplication::processEvents();
        check.window(window);
    }

    void verifyNothingClipped()
    {
        // The frame holds the content windows, so a control may be met twice.
        check.clipped.removeDuplicates();
        QVERIFY2(check.clipped.isEmpty(), qPrintable(check.clipped.join(QLatin1String("\n  "))));
    }

private slots:
    void init()
    {
        f = std::make_unique<DeskFixture>();
        check.clipped.clear();
    }
    void cleanup() { DeskFixture::end(f); }

    void frameAndContentWindows()
    {
        f->tree.write(QStringLiteral("Veldrin/options.txt"), "C:\\G\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n\r\n");
        f->desk->startUp();
        checkWindow(f->desk->mdi());
        checkChild(f->desk->map());
        checkChild(f->desk->showExtra());
        checkChild(f->desk->showTattoo());
        checkChild(f->desk->showReadme());
        checkChild(f->desk->showBrowser());
        checkChild(f->desk->showHistory());
        // With no child active the frame's own menus are the ones on show.
        f->desk->mdi()->mdiArea()->closeAllSubWindows();
        DeskFixture::flushDeletes();
        checkWindow(f->desk->mdi());
        verifyNothingClipped();
    }

    void optionsOnEveryTab()
    {
        frmOptions *options = f->desk->showOptions();
        auto *tabs = DeskFixture::at<QTabWidget>(options, "SSTab1");
        QVERIFY(tabs);
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            checkWindow(options);
        }
        options->close();
        verifyNothingClipped();
    }

    void aboutAndUpdate()
    {
        checkWindow(f->desk->showAbout());
        f->desk->about()->close();
        checkWindow(f->desk->showUpdate());
        f->desk->update()->close();
        verifyNothingClipped();
    }

    void installerOnEveryPage()
    {
        frmInstall *wizard = f->desk->showInstall();
        checkWindow(wizard);
        // The pages of both flows, reached as the player reaches them.
        DeskFixture::click(wizard, "op1");
        DeskFixture::click(wizard, "cmdNext");
        checkWindow(wizard);
        DeskFixture::click(wizard, "cmdBack");
        DeskFixture::click(wizard, "op2");
        DeskFixture::click(wizard, "cmdNext");
        checkWindow(wizard);
        f->tree.write(QStringLiteral("Games/Island.txt"), "map\r\n");
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("Games/Island.txt")));
        f->prompts.answerWindowsPath(TestTree::gameFolder() + QLatin1String("Scripts\\Playgrounds\\Island.txt"));
        DeskFixture::click(wizard, "cmdInstall");
        DeskFixture::click(wizard, "cmdNext");
        checkWindow(wizard);
        f->prompts.answerHostPath(f->tree.host(QStringLiteral("Veldrin/island.brx")));
        DeskFixture::click(wizard, "cmdInstall");
        DeskFixture::click(wizard, "cmdNext");
        checkWindow(wizard);
        wizard->close();
        verifyNothingClipped();
    }
};

QTEST_MAIN(test_Captions)
#include "test_Captions.moc"
