#pragma once
// The face every window is drawn in. The twips layouts were drawn for the 8-point system face
// of their day; the fonts a desktop happens to have are wider or narrower from one machine to
// the next, so the program brings its own (Liberation Sans, which keeps Arial's widths) and
// uses it at one fixed size.
class QFont;

namespace interfacefont {

// Pixels, not points: the layouts are in pixels too, whatever the screen's dots per inch.
// The old system face set its captions narrower than Arial does at 8 points (11 pixels); at
// 10 pixels a caption takes about the width it was drawn for, and the longest button
// captions ("Install Landscape", "Submit Map idea") keep a margin inside their bevel.
constexpr int kPixelSize = 10;

// The bundled face at the interface size; the first call registers it with the font database.
QFont font();

// The same in bold. A bold face drawn from the regular one comes out wider than the real
// one and could clip; this registers the real one first.
QFont boldFont();

// Makes that face the application's font, so every window, menu and message box uses it.
// Cheap after the first call.
void apply();

} // namespace interfacefont
