#pragma once
// Small pieces the content windows share: placing controls from twips, a plain-text view
// that hands its text back with CR LF, menu entries, and a picture box.
#include <QFrame>
#include <QImage>

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;
struct Place;

void placeAt(QWidget *widget, const Place &place);

// The twips layouts were drawn for an 8-point system font; a larger one would clip captions.
void useDesignFont(QWidget *window);

// A button named and placed from its table row.
QPushButton *makeButton(QWidget *parent, const Place &place, const char *caption);

// Text in Windows form (CR LF) in, and out again as it was, non-breaking spaces included.
void setViewText(QPlainTextEdit *view, const QString &text);
QString viewText(const QPlainTextEdit *view);

// A named menu owned by the window, and a named entry in it.
QMenu *makeMenu(QWidget *owner, const char *name, const char *caption);
QAction *addEntry(QWidget *owner, QMenu *menu, const char *name, const char *caption);

// A bordered box that shows one picture scaled to fit, keeping its proportions.
class PictureBox : public QFrame
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    // Shows the picture in these bytes. Bytes that are no picture it can read leave the box
    // as it was and give false.
    bool loadPicture(const QByteArray &bytes);
    const QImage &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};
