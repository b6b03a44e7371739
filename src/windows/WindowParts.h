#pragma once
// Small pieces the content windows share: a plain-text view that hands its text back with
// CR LF, and a picture box.
#include <QFrame>
#include <QImage>

class QPlainTextEdit;

// Text in Windows form (CR LF) in, and out again as it was, non-breaking spaces included.
void setViewText(QPlainTextEdit *view, const QString &text);
QString viewText(const QPlainTextEdit *view);
// The bytes writing the view's text to a file gives (fileio::writeText of viewText), made
// without the intermediate copies: a map of many megabytes is installed at copying speed.
QByteArray viewFileBytes(const QPlainTextEdit *view);

// A bordered box that shows one picture scaled to fit, keeping its proportions.
class PictureBox : public QFrame
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    // Shows the picture in these bytes. Bytes that are no picture it can read, or a picture
    // that is not whole, leave the box as it was and give false.
    bool loadPicture(const QByteArray &bytes);
    const QImage &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};
