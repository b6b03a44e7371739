#pragma once
// Puts a control at its designed place. A place without a size leaves the control at its
// natural size, as labels that size themselves to their caption were drawn.
#include "shell/Twips.h"

#include <QWidget>

inline void placeControl(QWidget *control, const Place &where)
{
    control->setObjectName(QLatin1String(where.name));
    if (where.width > 0) {
        control->setGeometry(twipsToPixels(where.left), twipsToPixels(where.top), twipsToPixels(where.width),
                             twipsToPixels(where.height));
    } else {
        control->adjustSize();
        control->move(twipsToPixels(where.left), twipsToPixels(where.top));
    }
}
