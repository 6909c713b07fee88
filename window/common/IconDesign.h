#pragma once

#include "window/Controls.h"

// The design of the program's icons and of the About picture, drawn by each implementation with its own painter
// (window/qt/Icons.cpp, window/win32/Icons.cpp). The desktop's icons of the package are drawn from the same design.
// Rectangles are x, y, width, height in pixels; angles in degrees, counter-clockwise from three o'clock.

namespace icon_design {

// Colours of the 16-colour palette the icons are drawn in.
inline constexpr CColour kBlack{0, 0, 0};
inline constexpr CColour kMaroon{128, 0, 0};
inline constexpr CColour kGrey{128, 128, 128};
inline constexpr CColour kSilver{192, 192, 192};
inline constexpr CColour kRed{255, 0, 0};
inline constexpr CColour kLime{0, 255, 0};
inline constexpr CColour kYellow{255, 255, 0};
inline constexpr CColour kWhite{255, 255, 255};

inline constexpr int kIconSize = 32;

struct CBox {
    int x, y, cx, cy;
};

// A lamp, 32 by 32 on a transparent background, drawn without smoothing: a grey disc with a black outline (the
// rim), a silver arc on the rim lit from the upper left, the glass in the lamp's colour with a black outline, and a
// reflection without outline, bright on a lit lamp and dull on a dark one.
inline constexpr CBox kLampRim{1, 1, 29, 29};
inline constexpr CBox kLampRimLight{3, 3, 25, 25};
inline constexpr int kLampRimLightWidth = 2;
inline constexpr int kLampRimLightStart = 45;
inline constexpr int kLampRimLightSpan = 180;
inline constexpr CBox kLampGlass{6, 6, 19, 19};
inline constexpr CBox kLampReflection{10, 9, 5, 4};

// A lamp says its state to a screen reader in a word (the control's accessible description, or value).
struct CLamp {
    int nIconId;
    CColour glass;
    bool bLit;
    const char* pszState;
};
// IDI_LAMP_RED, IDI_LAMP_GREEN, IDI_LAMP_OFF, IDI_LAMP_YELLOW (res/Resource.h).
inline constexpr CLamp kLamps[] = {
    {136, kRed, true, "red"},
    {137, kLime, true, "green"},
    {138, kMaroon, false, "off"},
    {141, kYellow, true, "yellow"},
};
inline const CLamp* FindLamp(int nIconId) {
    for (const CLamp& lamp : kLamps) {
        if (lamp.nIconId == nIconId)
            return &lamp;
    }
    return nullptr;
}

// The application icon on its 32-pixel grid: the letters "K" and "V" as yellow strokes 3 pixels wide with square
// ends, on black. At its own size it is drawn pixel for pixel, as the 16-colour original; at any other size the same
// design scaled and smoothed.
struct CStroke {
    int nX1, nY1, nX2, nY2;
};
inline constexpr CStroke kAppIconStrokes[] = {
    {5, 6, 5, 25},   {6, 16, 14, 6},  {8, 14, 14, 25}, // "K"
    {18, 6, 22, 25}, {22, 25, 26, 6},                  // "V"
};
inline constexpr int kAppIconStrokeWidth = 3;

// The About picture, 68 by 43: a sky from dark blue to darker blue, the three start lights (red, yellow, green)
// with a grey outline, "Kalvora" in bold yellow letters 15 pixels high, centred below them, and a silver frame.
inline constexpr int kLogoWidth = 68;
inline constexpr int kLogoHeight = 43;
inline constexpr CColour kLogoSkyTop{0, 0, 96};
inline constexpr CColour kLogoSkyBottom{0, 0, 24};
inline constexpr CColour kLogoLights[] = {kRed, kYellow, kLime};
inline constexpr double kLogoLightX = 14.5; // the first light's left edge; each next one 14 pixels further
inline constexpr double kLogoLightStep = 14;
inline constexpr double kLogoLightY = 3.5;
inline constexpr double kLogoLightSize = 11;
inline constexpr CBox kLogoText{0, 18, kLogoWidth, 22};
inline constexpr int kLogoTextPixels = 15;
inline constexpr const char* kLogoName = "Kalvora";

} // namespace icon_design
