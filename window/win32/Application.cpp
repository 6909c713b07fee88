#include "window/Application.h"

#include "window/win32/Win32Window.h"

#include <ole2.h>

// What the windows need before the first one opens: the common controls' classes (list view, up-down, progress
// bar, and the version 6 look the manifest asks for), and COM in a single-threaded apartment for the system's file
// dialog and for the accessibility annotations. Undone in the reverse order when the application object ends, with
// the bundled display face, which the display font registers when it first needs it (Resources.cpp).
struct CApplication::Impl {
    bool bOleInitialised = false;
};

CApplication::CApplication(int /*argc*/, char** /*argv*/) : m_pImpl(std::make_unique<Impl>()) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    m_pImpl->bOleInitialised = SUCCEEDED(OleInitialize(nullptr));
}

CApplication::~CApplication() {
    ReleaseAccessibility();
    ReleaseImages();
    UnregisterBundledFont();
    if (m_pImpl->bOleInitialised)
        OleUninitialize();
}
