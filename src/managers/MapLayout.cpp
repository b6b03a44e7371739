#include "managers/MapLayout.h"

#include <algorithm>

MapLayout mapLayoutFor(int outerWidth, int outerHeight)
{
    MapLayout l{};
    l.viewWidth = std::max(0, outerWidth - kMapSideMargin);
    l.viewHeight = std::max(0, outerHeight - kMapBottomMargin);
    // Everything else hangs off the view as it really came out, not off the raw window size.
    l.buttonLeft = l.viewWidth + 60;
    l.directoryTop = l.viewHeight + 100;
    l.messageTop = l.viewHeight + 350;
    l.lineY = l.viewHeight + 720;
    l.lineRight = outerWidth;
    return l;
}
