#pragma once
// Layout lengths are kept in twips, as the windows were designed; 15 twips make a pixel at
// 96 dots per inch.

constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

// One control's place in twips: left, top, width, height.
struct Place
{
    const char *name;
    int left;
    int top;
    int width;
    int height;
};
