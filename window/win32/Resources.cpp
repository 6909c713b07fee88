// The display font of the two digital displays, and the bundled seven-segment face it falls back on.

#include "window/win32/Win32Window.h"

#include "res/EmbeddedFiles.h"
#include "window/Resources.h"

#include <algorithm>

namespace {

constexpr const char* kBundledFontFile = "fonts/DSEG7Classic-Italic.ttf";
constexpr const wchar_t* kBundledFamily = L"DSEG7 Classic";
// The bundled face's digits are 0.8 of its height wide, much wider than those of the display face it stands in
// for; narrowed at the same height, eight digits fit the large display and four the small one.
constexpr int kBundledFaceWidthPercent = 62;

HANDLE& BundledFont() {
    static HANDLE hFont = nullptr;
    return hFont;
}

int CALLBACK NoteFound(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/, DWORD /*type*/, LPARAM lParam) {
    *reinterpret_cast<bool*>(lParam) = true;
    return 0;
}

// Whether a face of that name is installed (the bundled face is private to the process and never listed).
bool IsInstalled(const std::wstring& strFace) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    SetFaceName(font, strFace);
    bool bFound = false;
    const HDC hScreen = GetDC(nullptr);
    EnumFontFamiliesExW(hScreen, &font, NoteFound, reinterpret_cast<LPARAM>(&bFound), 0);
    ReleaseDC(nullptr, hScreen);
    return bFound;
}

struct CDisplayFace {
    std::wstring strFace;
    bool bItalic = false;
    bool bNarrowed = false;
};

CDisplayFace FindDisplayFace() {
    const std::wstring strFace = ToWide(WidenShown(kDisplayFace));
    const std::wstring strFamily = ToWide(WidenShown(kDisplayFamily));
    if (IsInstalled(strFace))
        return {strFace, false, false};
    if (IsInstalled(strFamily))
        return {strFamily, true, false};
    if (RegisterBundledFont())
        return {kBundledFamily, true, true};
    return {strFace, false, false}; // the system's substitute at the same size
}

// The advance of a digit in the font, in pixels.
int DigitWidth(const LOGFONTW& font) {
    const HFONT hFont = CreateFontIndirectW(&font);
    const HDC hScreen = GetDC(nullptr);
    const HGDIOBJ hPrevious = SelectObject(hScreen, hFont);
    SIZE size{};
    GetTextExtentPoint32W(hScreen, L"8", 1, &size);
    SelectObject(hScreen, hPrevious);
    ReleaseDC(nullptr, hScreen);
    DeleteObject(hFont);
    return static_cast<int>(size.cx);
}

HFONT CreateDisplayFont(const CDisplayFace& face, int nPixels) {
    LOGFONTW font{};
    font.lfHeight = -nPixels; // a character height, not a cell height
    font.lfWeight = FW_NORMAL;
    font.lfItalic = face.bItalic ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    SetFaceName(font, face.strFace);
    if (face.bNarrowed) {
        // The font is narrowed by its average width, which GDI rounds to whole pixels and which is not quite the
        // digits' width: the narrowest average that gives digits no wider than the share of their own width.
        const int nWidest = DigitWidth(font) * kBundledFaceWidthPercent / 100;
        for (LONG nAverage = std::max<LONG>(1, nWidest); nAverage > 1; --nAverage) {
            font.lfWidth = nAverage;
            if (DigitWidth(font) <= nWidest)
                break;
        }
    }
    return CreateFontIndirectW(&font);
}

} // namespace

bool RegisterBundledFont() {
    if (BundledFont())
        return true;
    const std::string_view bytes = EmbeddedResFile(kBundledFontFile);
    if (bytes.empty())
        return false;
    DWORD nFonts = 0;
    // The system copies the bytes; the face is this process's alone, nothing is installed.
    BundledFont() =
        AddFontMemResourceEx(const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()), nullptr, &nFonts);
    return BundledFont() != nullptr;
}

void UnregisterBundledFont() {
    if (BundledFont()) {
        RemoveFontMemResourceEx(BundledFont());
        BundledFont() = nullptr;
    }
}

CFont DisplayFont() {
    static const CDisplayFace face = FindDisplayFace();
    // The bundled face again for a later application object, the first one's end having unregistered it.
    if (face.bNarrowed)
        RegisterBundledFont();
    // Made for the resolution of each window it is set on (the screen's is the one a window opens on first).
    auto scalable = std::make_shared<CScalableFont>(
        [](int nDpi) { return CreateDisplayFont(face, DisplayFontPixels(static_cast<double>(nDpi))); });
    CFont font;
    if (scalable->ForDpi(SystemDpi()))
        font.Reset(std::make_unique<CFont::Impl>(std::move(scalable)));
    return font;
}
