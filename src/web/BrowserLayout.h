#pragma once
// Where the browser window's page area goes when the window changes size. Lengths in twips.

struct PaneSize
{
    int width;
    int height;
};

// The page area keeps its top-left corner and takes the window's outer size (frame and
// title bar included) less fixed margins for the border and the button strip. A window
// smaller than the margins (minimised, or dragged very small) gives an empty page area,
// never a negative one.
PaneSize browserPaneSize(int outerWidth, int outerHeight);
