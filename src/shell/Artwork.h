#pragma once
// The program's own pictures, drawn rather than shipped: the splash picture, the installer's
// side picture and the icon.
#include <QIcon>
#include <QPixmap>

namespace artwork {

inline constexpr QSize kSplashPictureSize(400, 125);

// kSplashPictureSize: title, subtitle and a small island landscape under a night sky.
QPixmap splashPicture();

// 100 x 400: the installer wizard's tall picture, an evening sky over the hills.
QPixmap installerPicture();

QIcon programIcon();

} // namespace artwork
