#pragma once
// The program's own pictures, drawn rather than shipped: the splash picture, the installer's
// side picture and the icon.
#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace artwork {

inline constexpr QSize kSplashPictureSize(400, 125);

// kSplashPictureSize: title, subtitle and a small island landscape under a night sky.
QPixmap splashPicture();

// 100 x 400: the installer wizard's tall picture, an evening sky over the hills.
QPixmap installerPicture();

QIcon programIcon();

// The icon at one size, and as a scalable drawing of the same shape, for the desktop's icon
// theme. Neither needs an application object.
QImage programIconImage(int size);
QByteArray programIconSvg();

} // namespace artwork
