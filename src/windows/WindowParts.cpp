#include "windows/WindowParts.h"

#include "managers/PictureCheck.h"
#include "platform/FileIO.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>

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

QByteArray viewFileBytes(const QPlainTextEdit *view)
{
    return fileio::encodeTextFile(view->document()->toRawText());
}

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setLineWidth(1);
}

bool PictureBox::loadPicture(const QByteArray &bytes)
{
    // A bitmap short of its pixels would be read anyway, the missing rows left as noise.
    if (!picturecheck::isWhole(bytes))
        return false;
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
