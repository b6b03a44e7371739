#pragma once
// The program's own pictures, drawn rather than shipped: the splash picture and the icon.
#include <QIcon>
#include <QPixmap>

namespace artwork {

// 400 x 125 pixels: title, subtitle and a small island landscape under a night sky.
QPixmap splashPicture();

QIcon programIcon();

} // namespace artwork
