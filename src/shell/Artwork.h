#pragma once
// The program's own pictures, drawn rather than shipped: the splash picture and the icon.
#include <QIcon>
#include <QPixmap>

namespace artwork {

inline constexpr QSize kSplashPictureSize(400, 125);

// kSplashPictureSize: title, subtitle and a small island landscape under a night sky.
QPixmap splashPicture();

QIcon programIcon();

} // namespace artwork
