#include "window/Application.h"

#include "window/qt/Icons.h"

#include <QApplication>

namespace {

// The name Qt is given for the program when the system gave none (a process may be started without any argument).
char g_szProgramName[] = "kalvora";

// The desktop entry's name without ".desktop" (the build's application id): a Wayland desktop matches the windows,
// and their icon, to the entry by it (an X11 one matches the window class, "kalvora", to the entry's
// StartupWMClass).
constexpr const char* kDesktopFileName = KALVORA_APP_ID;

} // namespace

struct CApplication::Impl {
    int m_nArgc = 1;
    char* m_argv[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> m_application;
};

CApplication::CApplication(int argc, char** argv) : m_pImpl(std::make_unique<Impl>()) {
    // The window changes a few small fields a second. Through X11's shared memory each of those repaints costs a
    // round trip to the display server and a wake-up more than sending its few pixels does; the whole window is
    // drawn only when it is shown. A choice the user made in the environment stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    // Qt sees the program's name alone and keeps it for the whole run.
    m_pImpl->m_argv[0] = argc > 0 && argv && argv[0] ? argv[0] : g_szProgramName;
    m_pImpl->m_application = std::make_unique<QApplication>(m_pImpl->m_nArgc, m_pImpl->m_argv);
    QApplication::setWindowIcon(AppIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
}

CApplication::~CApplication() = default;
