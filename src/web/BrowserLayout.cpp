#include "web/BrowserLayout.h"

#include <algorithm>

namespace {
constexpr int kWidthMargin = 100;
constexpr int kHeightMargin = 1100;
} // namespace

PaneSize browserPaneSize(int outerWidth, int outerHeight)
{
    return {std::max(0, outerWidth - kWidthMargin), std::max(0, outerHeight - kHeightMargin)};
}
