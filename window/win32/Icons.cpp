// The lamps, the application icon and the About picture, drawn with GDI from the program's design
// (window/common/IconDesign.h) once per size and kept until the application object ends. Shapes are drawn without
// smoothing on the design's own grid, mapped onto the size asked for.

#include "window/win32/Win32Window.h"

#include "res/Resource.h"
#include "window/common/IconDesign.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <utility>
#include <vector>

namespace {

using namespace icon_design;

// A colour the design never uses: the pixels still showing it after drawing are the transparent ones.
constexpr COLORREF kTransparentKey = RGB(255, 0, 255);
constexpr std::uint32_t kTransparentPixel = 0x00FF00FF; // the key as a 32-bit DIB holds it (blue, green, red, 0)
constexpr std::uint32_t kOpaque = 0xFF000000;
// The face of the About picture's name: the dialogs' own. (Wine measures Tahoma's bold variant but draws it regular.)
constexpr const wchar_t* kLogoFace = L"MS Sans Serif";

COLORREF Colour(CColour colour) {
    return ToColorRef(colour);
}

// Selects a GDI object into a DC for a scope, and deletes it afterwards when it was made for the scope.
class CSelected {
public:
    CSelected(HDC hDC, HGDIOBJ hObject, bool bOwned = true)
        : m_hDC(hDC), m_hObject(hObject), m_hPrevious(SelectObject(hDC, hObject)), m_bOwned(bOwned) {}
    ~CSelected() {
        SelectObject(m_hDC, m_hPrevious);
        if (m_bOwned)
            DeleteObject(m_hObject);
    }
    CSelected(const CSelected&) = delete;
    CSelected& operator=(const CSelected&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hObject;
    HGDIOBJ m_hPrevious;
    bool m_bOwned;
};

// A top-down DIB section of nWidth by nHeight pixels with a memory DC drawing into it, whose logical coordinates
// run over the design's grid (nGridWidth by nGridHeight).
class CCanvas {
public:
    CCanvas(int nWidth, int nHeight, int nBitsPerPixel, int nGridWidth, int nGridHeight)
        : m_nWidth(nWidth), m_nHeight(nHeight) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = nWidth;
        info.bmiHeader.biHeight = -nHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(nBitsPerPixel);
        info.bmiHeader.biCompression = BI_RGB;
        m_hDC = CreateCompatibleDC(nullptr);
        m_hBitmap = CreateDIBSection(m_hDC, &info, DIB_RGB_COLORS, &m_pBits, nullptr, 0);
        if (m_hBitmap)
            m_hPrevious = SelectObject(m_hDC, m_hBitmap);
        SetMapMode(m_hDC, MM_ANISOTROPIC);
        SetWindowExtEx(m_hDC, nGridWidth, nGridHeight, nullptr);
        SetViewportExtEx(m_hDC, nWidth, nHeight, nullptr);
    }
    ~CCanvas() {
        if (m_hPrevious)
            SelectObject(m_hDC, m_hPrevious);
        if (m_hBitmap)
            DeleteObject(m_hBitmap);
        DeleteDC(m_hDC);
    }
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    bool IsValid() const { return m_hBitmap && m_pBits; }
    HDC DC() const { return m_hDC; }
    std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(m_pBits); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Hands the bitmap over; the canvas no longer deletes it.
    HBITMAP Release() {
        GdiFlush();
        SelectObject(m_hDC, m_hPrevious);
        m_hPrevious = nullptr;
        return std::exchange(m_hBitmap, nullptr);
    }

private:
    int m_nWidth;
    int m_nHeight;
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hPrevious = nullptr;
    void* m_pBits = nullptr;
};

void FillAll(const CCanvas& canvas, COLORREF colour, int nGridWidth, int nGridHeight) {
    const HBRUSH hBrush = CreateSolidBrush(colour);
    const RECT all{0, 0, nGridWidth, nGridHeight};
    FillRect(canvas.DC(), &all, hBrush);
    DeleteObject(hBrush);
}

// An ellipse in the design's box, outlined by the pen (the outline's pixels on the box's edges, both sides) or,
// without a pen, filled over the box's own pixels.
void Ellipse(HDC hDC, const CBox& box) {
    ::Ellipse(hDC, box.x, box.y, box.x + box.cx + 1, box.y + box.cy + 1);
}

HBITMAP MaskOf(const CCanvas& canvas) {
    // A monochrome bitmap's rows are whole 16-bit words; a set bit is a transparent pixel.
    const int nRowBytes = (canvas.Width() + 15) / 16 * 2;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(nRowBytes * canvas.Height()), 0);
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            std::uint32_t& pixel = canvas.Pixels()[y * canvas.Width() + x];
            if ((pixel & 0x00FFFFFF) == kTransparentPixel) {
                pixel = 0;
                mask[static_cast<std::size_t>(y * nRowBytes + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            } else {
                pixel |= kOpaque;
            }
        }
    }
    return CreateBitmap(canvas.Width(), canvas.Height(), 1, 1, mask.data());
}

HICON IconOf(CCanvas& canvas) {
    GdiFlush();
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = MaskOf(canvas);
    info.hbmColor = canvas.Release();
    const HICON hIcon = CreateIconIndirect(&info);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    return hIcon;
}

HICON DrawLamp(const CLamp& lamp, int nSize) {
    CCanvas canvas(nSize, nSize, 32, kIconSize, kIconSize);
    if (!canvas.IsValid())
        return nullptr;
    const HDC hDC = canvas.DC();
    FillAll(canvas, kTransparentKey, kIconSize, kIconSize);
    {
        // The rim: a grey disc with a black outline, lit by a silver arc from the upper left.
        CSelected pen(hDC, CreatePen(PS_SOLID, 1, Colour(kBlack)));
        CSelected brush(hDC, CreateSolidBrush(Colour(kGrey)));
        Ellipse(hDC, kLampRim);
    }
    {
        CSelected pen(hDC, CreatePen(PS_SOLID, kLampRimLightWidth, Colour(kSilver)));
        const double dCentreX = kLampRimLight.x + (kLampRimLight.cx + 1) / 2.0;
        const double dCentreY = kLampRimLight.y + (kLampRimLight.cy + 1) / 2.0;
        const auto Point = [&](int nDegrees) {
            const double dRadians = nDegrees * std::numbers::pi / 180.0;
            constexpr double kFar = 100.0; // any point on the ray from the centre
            return POINT{static_cast<LONG>(std::lround(dCentreX + kFar * std::cos(dRadians))),
                         static_cast<LONG>(std::lround(dCentreY - kFar * std::sin(dRadians)))};
        };
        const POINT start = Point(kLampRimLightStart);
        const POINT end = Point(kLampRimLightStart + kLampRimLightSpan);
        SetArcDirection(hDC, AD_COUNTERCLOCKWISE);
        Arc(hDC, kLampRimLight.x, kLampRimLight.y, kLampRimLight.x + kLampRimLight.cx + 1,
            kLampRimLight.y + kLampRimLight.cy + 1, start.x, start.y, end.x, end.y);
    }
    {
        CSelected pen(hDC, CreatePen(PS_SOLID, 1, Colour(kBlack)));
        CSelected brush(hDC, CreateSolidBrush(Colour(lamp.glass)));
        Ellipse(hDC, kLampGlass);
    }
    {
        CSelected pen(hDC, GetStockObject(NULL_PEN), false);
        CSelected brush(hDC, CreateSolidBrush(Colour(lamp.bLit ? kWhite : kGrey)));
        Ellipse(hDC, kLampReflection);
    }
    return IconOf(canvas);
}

// Each stroke is filled as its outline, a rectangle around the line lengthened at both ends by half the width
// (square ends), on a grid finer than the design's so that the outline keeps its half pixels: GDI's wide pens draw
// steep lines with Wine unevenly.
constexpr int kStrokeGridSteps = 16;

HICON DrawApplicationIcon(int nSize) {
    constexpr int kGrid = kIconSize * kStrokeGridSteps;
    CCanvas canvas(nSize, nSize, 32, kGrid, kGrid);
    if (!canvas.IsValid())
        return nullptr;
    const HDC hDC = canvas.DC();
    FillAll(canvas, Colour(kBlack), kGrid, kGrid);
    CSelected pen(hDC, GetStockObject(NULL_PEN), false);
    CSelected brush(hDC, CreateSolidBrush(Colour(kYellow)));
    for (const CStroke& stroke : kAppIconStrokes) {
        const double dX = stroke.nX2 - stroke.nX1;
        const double dY = stroke.nY2 - stroke.nY1;
        const double dLength = std::hypot(dX, dY);
        const double dHalf = kAppIconStrokeWidth / 2.0;
        // Along the stroke, and across it, each half a width long.
        const double dAlongX = dX / dLength * dHalf;
        const double dAlongY = dY / dLength * dHalf;
        const double dAcrossX = -dAlongY;
        const double dAcrossY = dAlongX;
        const auto Corner = [](double dXAt, double dYAt) {
            return POINT{static_cast<LONG>(std::lround(dXAt * kStrokeGridSteps)),
                         static_cast<LONG>(std::lround(dYAt * kStrokeGridSteps))};
        };
        const POINT outline[] = {
            Corner(stroke.nX1 - dAlongX + dAcrossX, stroke.nY1 - dAlongY + dAcrossY),
            Corner(stroke.nX2 + dAlongX + dAcrossX, stroke.nY2 + dAlongY + dAcrossY),
            Corner(stroke.nX2 + dAlongX - dAcrossX, stroke.nY2 + dAlongY - dAcrossY),
            Corner(stroke.nX1 - dAlongX - dAcrossX, stroke.nY1 - dAlongY - dAcrossY),
        };
        Polygon(hDC, outline, static_cast<int>(std::size(outline)));
    }
    return IconOf(canvas);
}

HBITMAP DrawAboutLogo(int nDpi) {
    // 24 bits a pixel: the static control would take a 32-bit picture's empty alpha channel for transparency.
    CCanvas canvas(ScaleForDpi(kLogoWidth, nDpi), ScaleForDpi(kLogoHeight, nDpi), 24, kLogoWidth, kLogoHeight);
    if (!canvas.IsValid())
        return nullptr;
    const HDC hDC = canvas.DC();
    // The sky, row by row from its top colour to its bottom one.
    for (int y = 0; y < kLogoHeight; ++y) {
        const double dAt = (y + 0.5) / kLogoHeight;
        const auto Mix = [dAt](std::uint8_t nTop, std::uint8_t nBottom) {
            return static_cast<BYTE>(std::lround(nTop + (nBottom - nTop) * dAt));
        };
        const HBRUSH hBrush =
            CreateSolidBrush(RGB(Mix(kLogoSkyTop.r, kLogoSkyBottom.r), Mix(kLogoSkyTop.g, kLogoSkyBottom.g),
                                 Mix(kLogoSkyTop.b, kLogoSkyBottom.b)));
        const RECT row{0, y, kLogoWidth, y + 1};
        FillRect(hDC, &row, hBrush);
        DeleteObject(hBrush);
    }
    // The three start lights.
    for (int i = 0; i < 3; ++i) {
        CSelected pen(hDC, CreatePen(PS_SOLID, 1, Colour(kGrey)));
        CSelected brush(hDC, CreateSolidBrush(Colour(kLogoLights[i])));
        const int nLeft = static_cast<int>(std::floor(kLogoLightX + i * kLogoLightStep));
        const int nTop = static_cast<int>(std::floor(kLogoLightY));
        const int nSize = static_cast<int>(kLogoLightSize);
        ::Ellipse(hDC, nLeft, nTop, nLeft + nSize + 1, nTop + nSize + 1);
    }
    {
        CSelected pen(hDC, CreatePen(PS_SOLID, 1, Colour(kSilver)));
        CSelected brush(hDC, GetStockObject(NULL_BRUSH), false);
        Rectangle(hDC, 0, 0, kLogoWidth, kLogoHeight);
    }
    // The name, in the bold variant of the dialogs' face, drawn in pixels rather than on the design's grid.
    SetMapMode(hDC, MM_TEXT);
    LOGFONTW face{};
    face.lfHeight = -ScaleForDpi(kLogoTextPixels, nDpi);
    face.lfWeight = FW_BOLD;
    face.lfCharSet = DEFAULT_CHARSET;
    SetFaceName(face, kLogoFace);
    CSelected font(hDC, CreateFontIndirectW(&face));
    SetTextColor(hDC, Colour(kYellow));
    SetBkMode(hDC, TRANSPARENT);
    RECT text{ScaleForDpi(kLogoText.x, nDpi), ScaleForDpi(kLogoText.y, nDpi),
              ScaleForDpi(kLogoText.x + kLogoText.cx, nDpi), ScaleForDpi(kLogoText.y + kLogoText.cy, nDpi)};
    const std::wstring strName = ToWide(WidenShown(kLogoName));
    DrawTextW(hDC, strName.c_str(), static_cast<int>(strName.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return canvas.Release();
}

std::map<std::pair<int, int>, HICON>& Icons() {
    static std::map<std::pair<int, int>, HICON> icons;
    return icons;
}

std::map<std::pair<int, int>, HBITMAP>& Bitmaps() {
    static std::map<std::pair<int, int>, HBITMAP> bitmaps;
    return bitmaps;
}

} // namespace

HICON IconHandle(int nIconId, int nSize) {
    if (nSize <= 0)
        return nullptr;
    HICON& hIcon = Icons()[{nIconId, nSize}];
    if (!hIcon) {
        if (const CLamp* lamp = FindLamp(nIconId))
            hIcon = DrawLamp(*lamp, nSize);
        else if (nIconId == IDR_MAINFRAME)
            hIcon = DrawApplicationIcon(nSize);
    }
    return hIcon;
}

HBITMAP BitmapHandle(int nBitmapId, int nDpi) {
    if (nBitmapId != IDB_ABOUT_LOGO)
        return nullptr;
    HBITMAP& hBitmap = Bitmaps()[{nBitmapId, nDpi}];
    if (!hBitmap)
        hBitmap = DrawAboutLogo(nDpi);
    return hBitmap;
}

void ReleaseImages() {
    for (auto& [key, hIcon] : Icons()) {
        if (hIcon)
            DestroyIcon(hIcon);
    }
    Icons().clear();
    for (auto& [key, hBitmap] : Bitmaps()) {
        if (hBitmap)
            DeleteObject(hBitmap);
    }
    Bitmaps().clear();
}
