#pragma once
// Where the map window's parts go for a given outer size, all in twips. The view takes
// everything but a fixed margin; the button column and the label band follow its edges.

struct MapLayout
{
    int viewWidth;
    int viewHeight;
    int buttonLeft;
    int directoryTop; // "Current Map Directory:" and the path beside it
    int messageTop;   // "Welcome Message:" and the text beside it
    int lineY;        // the separator, from the left edge to lineRight
    int lineRight;
};

// The margins the view leaves for the button column and the label band.
constexpr int kMapSideMargin = 1700;
constexpr int kMapBottomMargin = 1200;

// A window smaller than the margins keeps a zero-sized view rather than a negative one, so
// the other parts stay where the empty view puts them.
MapLayout mapLayoutFor(int outerWidth, int outerHeight);
