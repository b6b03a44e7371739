#include "managers/WindowParts.h"

#include "platform/FileIO.h"
#include "shell/Twips.h"

#include <QAction>
#include <QBuffer>
#include <QImageReader>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

void placeAt(QWidget *widget, const Place &place)
{
    widget->setGeometry(twipsToPixels(place.left), twipsToPixels(place.top), twipsToPixels(place.width),
                        twipsToPixels(place.height));
}

void useDesignFont(QWidget *window)
{
    QFont font = window->font();
    font.setPixelSize(11);
    window->setFont(font);
}

QPushButton *makeButton(QWidget *parent, const Place &place, const char *caption)
{
    auto *button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QLatin1String(place.name));
    placeAt(button, place);
    return button;
}

void setViewText(QPlainTextEdit *view, const QString &text)
{
    // One kind of break in is cheaper for the document to split than a mix of CR LF.
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    view->setPlainText(lines);
}

QString viewText(const QPlainTextEdit *view)
{
    // toPlainText() would turn non-breaking spaces into spaces; the raw text keeps them and
    // only needs its paragraph marks turned back into line breaks.
    QString text = view->document()->toRawText();
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    }
    return fileio::normalizeLineBreaks(text);
}

QMenu *makeMenu(QWidget *owner, const char *name, const char *caption)
{
    auto *menu = new QMenu(QString::fromLatin1(caption), owner);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction *addEntry(QWidget *owner, QMenu *menu, const char *name, const char *caption)
{
    auto *action = new QAction(QString::fromLatin1(caption), owner);
    action->setObjectName(QLatin1String(name));
    menu->addAction(action);
    return action;
}

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setLineWidth(1);
}

bool PictureBox::loadPicture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    m_picture = std::move(image);
    update();
    return true;
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    const QRect area = contentsRect();
    const QSize fitted = m_picture.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - fitted.width()) / 2, area.y() + (area.height() - fitted.height()) / 2,
                       fitted.width(), fitted.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}
