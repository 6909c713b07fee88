#include "window/Resources.h"

#include "res/Resource.h"

#include <cmath>

std::string ResourceString(int nStringId) {
    if (nStringId == IDS_ABOUTBOX)
        return "&About Kalvora...";
    return {};
}

int DisplayFontPixels(double dLogicalDpiY) {
    return static_cast<int>(std::lround(dLogicalDpiY * kDisplayFontTenthsOfPoint / 720.0));
}
