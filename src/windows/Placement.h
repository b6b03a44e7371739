#pragma once
// Where a window's controls go. Layouts are tables of places in twips, as the windows were
// drawn; these turn a place into pixels and put windows that the design centres in the
// middle of the screen.
#include "common/Twips.h"

#include <QRect>

class QAction;
class QMenu;
class QPushButton;
class QWidget;

// The place in pixels; dy moves it down, for rows repeated at a fixed pitch.
QRect placeRect(const Place &place, int dy = 0);

// Puts a control at a place, leaving its name alone (for controls named otherwise, such as
// numbered slots, or rows that share one place).
void placeAt(QWidget *control, const Place &place, int dy = 0);

// Names a control after its place and puts it there. A place without a size leaves the
// control at its natural size, as labels that size themselves to their caption were drawn.
void placeControl(QWidget *control, const Place &place);

// A button named and placed from its table row.
QPushButton *makeButton(QWidget *parent, const Place &place, const char *caption);

// A named menu owned by the window, and a named entry in it.
QMenu *makeMenu(QWidget *owner, const char *name, const char *caption);
QAction *addEntry(QWidget *owner, QMenu *menu, const char *name, const char *caption);

// For windows that open in the middle of the screen rather than over whichever window
// happens to be active. The window ends up whole on the screen, as keepOnScreen.
void centerOnScreen(QWidget *window);

// The frame (title bar and borders included) moved, not resized, so that as much of it as
// fits lies inside the available area: a frame larger than the area keeps its top-left
// corner (title bar and close box) inside.
QRect fitInto(const QRect &frame, const QRect &available);

// Moves a top-level window so that it lies whole on the screen it is on (taskbars and panels
// left out). Before the window is first shown its frame is not known yet; room for a title
// bar is allowed for then.
void keepOnScreen(QWidget *window);
