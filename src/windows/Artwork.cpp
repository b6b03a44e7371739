#include "windows/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace artwork {

namespace {

void drawIsland(QPainter &p, qreal cx, qreal sea)
{
    QPainterPath land;
    land.moveTo(cx - 95, sea);
    land.cubicTo(cx - 60, sea - 22, cx - 25, sea - 34, cx + 5, sea - 30);
    land.cubicTo(cx + 40, sea - 26, cx + 70, sea - 14, cx + 100, sea);
    land.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(18, 22, 30));
    p.drawPath(land);

    // A temple on the hill: the believers' side of the island.
    p.setBrush(QColor(232, 214, 160));
    const qreal tx = cx - 8, ty = sea - 44;
    p.drawRect(QRectF(tx - 12, ty + 4, 24, 10));
    QPainterPath roof;
    roof.moveTo(tx - 15, ty + 5);
    roof.lineTo(tx, ty - 5);
    roof.lineTo(tx + 15, ty + 5);
    roof.closeSubpath();
    p.drawPath(roof);
    p.setBrush(QColor(18, 22, 30));
    for (int i = -1; i <= 1; ++i)
        p.drawRect(QRectF(tx + i * 7 - 1.5, ty + 7, 3, 7));

    // A palm leaning over the water.
    p.setPen(QPen(QColor(18, 22, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
    QPainterPath trunk;
    trunk.moveTo(cx + 55, sea - 12);
    trunk.quadTo(cx + 60, sea - 30, cx + 72, sea - 42);
    p.setBrush(Qt::NoBrush);
    p.drawPath(trunk);
    for (int i = 0; i < 5; ++i) {
        QPainterPath leaf;
        leaf.moveTo(cx + 72, sea - 42);
        const qreal dx = -22 + i * 11;
        leaf.quadTo(cx + 72 + dx * 0.5, sea - 54, cx + 72 + dx, sea - 42 + qAbs(dx) * 0.25);
        p.drawPath(leaf);
    }
}

} // namespace

QPixmap splashPicture()
{
    QPixmap pixmap(kSplashPictureSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 125);
    sky.setColorAt(0.0, QColor(8, 10, 32));
    sky.setColorAt(0.55, QColor(52, 34, 84));
    sky.setColorAt(0.8, QColor(196, 104, 62));
    sky.setColorAt(1.0, QColor(236, 170, 90));
    p.fillRect(pixmap.rect(), sky);

    // Stars from a fixed sequence, so the picture is the same on every start.
    quint32 seed = 20010323u;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 70; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int x = int((seed >> 8) % 400);
        seed = seed * 1103515245u + 12345u;
        const int y = int((seed >> 8) % 60);
        p.setBrush(QColor(255, 255, 255, 90 + int(seed % 150)));
        p.drawEllipse(QPointF(x, y), 0.8, 0.8);
    }

    QRadialGradient glow(QPointF(330, 30), 26);
    glow.setColorAt(0.0, QColor(255, 250, 225, 255));
    glow.setColorAt(0.45, QColor(255, 245, 205, 220));
    glow.setColorAt(1.0, QColor(255, 240, 200, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(330, 30), 26, 26);

    const qreal sea = 104;
    QLinearGradient water(0, sea, 0, 125);
    water.setColorAt(0.0, QColor(40, 52, 92));
    water.setColorAt(1.0, QColor(12, 16, 36));
    p.fillRect(QRectF(0, sea, 400, 125 - sea), water);
    p.setPen(QPen(QColor(255, 210, 150, 110), 1));
    for (int i = 0; i < 6; ++i)
        p.drawLine(QPointF(250 + i * 6, sea + 3 + i * 3), QPointF(300 - i * 4, sea + 3 + i * 3));
    drawIsland(p, 305, sea);

    QFont title(QStringLiteral("Serif"));
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    const QRectF titleBox(22, 12, 260, 56);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(titleBox.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Veldrin"));
    QLinearGradient gold(0, 14, 0, 66);
    gold.setColorAt(0.0, QColor(255, 236, 160));
    gold.setColorAt(1.0, QColor(214, 150, 40));
    p.setPen(QPen(QBrush(gold), 1));
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Veldrin"));

    QFont sub(QStringLiteral("Sans"));
    sub.setPixelSize(13);
    p.setFont(sub);
    p.setPen(QColor(236, 228, 246));
    p.drawText(QRectF(24, 66, 260, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Add-on manager for Black & White"));
    sub.setPixelSize(10);
    p.setFont(sub);
    p.setPen(QColor(236, 228, 246, 170));
    p.drawText(QRectF(24, 84, 260, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Maps \u00b7 Landscapes \u00b7 Skins \u00b7 Tattoos \u00b7 Beta 1"));
    return pixmap;
}

namespace {

// Good and evil: a disc of light and dark halves, the way a god's choices split, with a V over
// it. The V is a shape, not a glyph: a font here would cost a font match for every size before
// the first window is up, and would look different wherever the font differs. Corners are in
// fractions of the icon's side, so the same shape serves every size and the scalable form.
const QPointF kV[] = {{0.20, 0.22}, {0.43, 0.22}, {0.43, 0.27}, {0.39, 0.27}, {0.54, 0.64},
                      {0.67, 0.27}, {0.63, 0.27}, {0.63, 0.22}, {0.81, 0.22}, {0.81, 0.27},
                      {0.76, 0.27}, {0.54, 0.80}, {0.48, 0.80}, {0.26, 0.27}, {0.20, 0.27}};
const QColor kRim(40, 30, 10);
const QColor kLight(246, 236, 206);
const QColor kDark(26, 22, 34);
const QColor kGold(214, 150, 40);
constexpr qreal kDiscMargin = 0.04;

} // namespace

QImage programIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF disc(s * kDiscMargin, s * kDiscMargin, s * (1 - 2 * kDiscMargin), s * (1 - 2 * kDiscMargin));
    p.setPen(QPen(kRim, s / 32.0));
    p.setBrush(kLight);
    p.drawEllipse(disc);
    p.setPen(Qt::NoPen);
    p.setBrush(kDark);
    p.drawPie(disc, 90 * 16, 180 * 16);
    QPolygonF v;
    for (const QPointF &point : kV)
        v << point * s;
    p.setBrush(kGold);
    p.drawPolygon(v);
    p.end();
    return image;
}

QByteArray programIconSvg()
{
    // Drawn on a 256 grid, the largest fixed size the icon theme asks for.
    const qreal s = 256;
    const qreal r = s * (1 - 2 * kDiscMargin) / 2;
    const qreal c = s / 2;
    auto num = [](qreal value) { return QByteArray::number(value, 'f', 2); };
    QByteArray points;
    for (const QPointF &point : kV)
        points += num(point.x() * s) + ',' + num(point.y() * s) + ' ';
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
    svg += "  <circle cx=\"" + num(c) + "\" cy=\"" + num(c) + "\" r=\"" + num(r) + "\" fill=\"" + kLight.name().toLatin1()
        + "\" stroke=\"" + kRim.name().toLatin1() + "\" stroke-width=\"" + num(s / 32.0) + "\"/>\n";
    // The dark half: the left half of the disc, from the top round to the bottom.
    svg += "  <path d=\"M " + num(c) + ',' + num(c - r) + " A " + num(r) + ',' + num(r) + " 0 0 0 " + num(c) + ','
        + num(c + r) + " Z\" fill=\"" + kDark.name().toLatin1() + "\"/>\n";
    svg += "  <polygon points=\"" + points.trimmed() + "\" fill=\"" + kGold.name().toLatin1() + "\"/>\n";
    svg += "</svg>\n";
    return svg;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

// The tall picture at the wizard's left edge: an evening sky over the hills of the game.
QPixmap installerPicture()
{
    QPixmap pixmap(100, 400);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 400);
    sky.setColorAt(0.0, QColor(18, 24, 64));
    sky.setColorAt(0.55, QColor(120, 70, 110));
    sky.setColorAt(0.8, QColor(236, 160, 70));
    p.fillRect(pixmap.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 244, 214));
    p.drawEllipse(QPointF(68, 250), 14, 14);

    QPainterPath far;
    far.moveTo(0, 300);
    far.cubicTo(25, 270, 55, 280, 100, 292);
    far.lineTo(100, 400);
    far.lineTo(0, 400);
    p.setBrush(QColor(52, 80, 60));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, 340);
    near.cubicTo(40, 315, 70, 345, 100, 330);
    near.lineTo(100, 400);
    near.lineTo(0, 400);
    p.setBrush(QColor(26, 48, 32));
    p.drawPath(near);

    p.setPen(QColor(255, 255, 255, 220));
    QFont font = p.font();
    font.setPixelSize(22);
    font.setBold(true);
    p.setFont(font);
    p.save();
    p.translate(40, 230);
    p.rotate(-90);
    p.drawText(0, 0, QStringLiteral("Veldrin"));
    p.restore();
    font.setPixelSize(12);
    font.setBold(false);
    p.setFont(font);
    p.translate(62, 230);
    p.rotate(-90);
    p.drawText(0, 0, QStringLiteral("Installer"));
    return pixmap;
}

} // namespace artwork
