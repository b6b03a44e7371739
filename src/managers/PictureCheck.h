#pragma once
// Whether a picture file holds everything its header promises. An image reader given a
// bitmap whose pixel rows stop short fills the missing rows with whatever memory held, and
// the player would see noise in a tattoo slot (and, worse, get that file copied into the
// game's profile). Checked on the bytes alone, before any reader sees them.
#include <QByteArray>
#include <QString>

namespace picturecheck {

// False, with the reason in *why, when the bytes are a Windows bitmap ("BM") whose header is
// cut short or inconsistent, or whose pixel data (plain or run-length coded) does not cover
// the picture the header describes. Bytes of any other kind pass: whether they are a picture
// at all is for the image reader to say.
bool isWhole(const QByteArray &bytes, QString *why = nullptr);

} // namespace picturecheck
