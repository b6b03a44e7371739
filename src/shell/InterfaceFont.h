#pragma once
// The face every window is drawn in. The twips layouts were drawn for an 8-point system face;
// the fonts a desktop happens to have are wider or narrower from one machine to the next, so
// the program brings its own (Liberation Sans, which keeps Arial's widths) and uses it at the
// pixel size that 8 points had at 96 dots per inch.
class QFont;

namespace interfacefont {

// Pixels, not points: the layouts are in pixels too, whatever the screen's dots per inch.
constexpr int kPixelSize = 11;

// The bundled face at the interface size; the first call registers it with the font database.
QFont font();

// Makes that face the application's font, so every window, menu and message box uses it.
// Cheap after the first call.
void apply();

} // namespace interfacefont
