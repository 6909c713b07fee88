#pragma once

#include "window/Controls.h"

#include <string>

// The program's own resources that the dialogs ask for: the string resource of the About entry and the display
// font of the two digital displays. The icons and the About picture are drawn by each implementation from one
// design (window/common/IconDesign.h), the dialog templates and the bundled font are embedded in the program.

// String resource nStringId: IDS_ABOUTBOX is "&About Kalvora...". Empty for any other number.
std::string ResourceString(int nStringId);

// The font of the digital displays: face "DS-Digital Italic" when it is installed, else the bundled seven-segment
// face DSEG7 Classic Italic, narrowed to the proportions of the display face; 18 points given as a character
// height of logical DPI * 180 / 720 pixels (24 pixels at 96 dots per inch).
CFont DisplayFont();
// That character height in pixels for a vertical resolution.
int DisplayFontPixels(double dLogicalDpiY);

inline constexpr const char* kDisplayFace = "DS-Digital Italic";
inline constexpr const char* kDisplayFamily = "DS-Digital";
inline constexpr int kDisplayFontTenthsOfPoint = 180;
