// The installed program as a user meets it, in a real X display (ctest runs it under xvfb-run):
//   package_InstalledProgram <root>
// where <root> holds an install tree under usr/ (a staged `cmake --install`, or / where the package is installed). With
// a fresh home and XDG_DATA_HOME, the program's window appears, its window class is the one the desktop entry names,
// its first start copies the shipped config.ini into $XDG_DATA_HOME/kalvora, and Port Settings then OK, done with the
// keyboard, writes the port there, while nothing in the install tree changes.

#include "base/Files.h"
#include "res/DialogTemplate.h"
#include "res/Resource.h"
#include "tests/support/TempDir.h"
#include "tests/support/x11/WindowProgram.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kMainWindowTitle = "Kalvora v1.4";
constexpr const char* kComPortTitle = "COM Port Settings";
constexpr auto kWindowTimeout = 20s;
constexpr auto kFileTimeout = 10s;
constexpr auto kSettle = 500ms;

int g_nFailures = 0;

void Check(bool bHolds, const std::string& strWhat) {
    std::printf("%s %s\n", bHolds ? "ok" : "FAILED", strWhat.c_str());
    if (!bHolds)
        ++g_nFailures;
}

bool WaitFor(const std::function<bool()>& holds, std::chrono::seconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!holds()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Every file and directory of the program's install directories (bin, share/kalvora) with its size and
// modification time, to see that nothing changed. (Only those, so that the test may run against / as well.)
std::map<std::string, std::string> TreeState(const fs::path& root) {
    std::map<std::string, std::string> state;
    for (const fs::path& directory : {root / "usr/bin", root / "usr/share/kalvora"})
        for (const auto& entry : fs::recursive_directory_iterator(directory)) {
            const auto status = entry.symlink_status();
            std::string strState = std::to_string(static_cast<int>(status.type()));
            if (fs::is_regular_file(status))
                strState += " " + std::to_string(entry.file_size()) + " " +
                            std::to_string(entry.last_write_time().time_since_epoch().count());
            state[entry.path().string()] = strState;
        }
    return state;
}

// How many presses of Tab lead from the first control that takes the focus to control nId: the tab order is the
// template's order of the enabled, shown controls that take the focus and carry TABSTOP.
int TabsTo(const CDialogTemplate& dialog, int nId) {
    int nTabs = 0;
    for (const CControlTemplate& control : dialog.controls) {
        const bool bTakesFocus = control.kind == EControlKind::PushButton || control.kind == EControlKind::Edit ||
                                 control.kind == EControlKind::DropDownList || control.kind == EControlKind::DropDown ||
                                 control.kind == EControlKind::ListView;
        if (!bTakesFocus || !control.Has(EControlStyle::TabStop) || control.Has(EControlStyle::Disabled) ||
            control.Has(EControlStyle::Hidden))
            continue;
        if (control.nId == nId)
            return nTabs;
        ++nTabs;
    }
    throw std::runtime_error("control " + std::to_string(nId) + " is not in the tab order");
}

std::string DesktopEntryValue(const std::string& strEntry, const std::string& strKey) {
    for (const std::string& strLine : SplitTextLines(strEntry)) {
        if (strLine.rfind(strKey + "=", 0) == 0)
            return strLine.substr(strKey.size() + 1);
    }
    return {};
}

int Run(const fs::path& root) {
    const fs::path program = root / "usr/bin/kalvora";
    const fs::path shipped = root / "usr/share/kalvora";
    const std::string strEntry =
        ReadFileBytes((root / "usr/share/applications" / KALVORA_APP_ID ".desktop").string()).value_or("");
    const auto mainTemplate =
        ParseDialogTemplate(ReadFileBytes(KALVORA_SOURCE_DIR "/res/dialogs/102.dlg").value_or(""));
    if (!fs::exists(program) || strEntry.empty() || !mainTemplate)
        throw std::runtime_error("no installed program, desktop entry or main window template under " + root.string());

    Display* display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display; run it under xvfb-run");
    int nEvent = 0, nError = 0, nMajor = 0, nMinor = 0;
    if (!XTestQueryExtension(display, &nEvent, &nError, &nMajor, &nMinor))
        throw std::runtime_error("the X server has no XTEST extension");

    CTempDir user;
    const std::string strHome = user.File("home");
    const std::string strDataHome = user.File("data");
    fs::create_directories(strHome);
    const std::string strFiles = strDataHome + "/kalvora";
    const auto before = TreeState(root);

    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    // under a fresh home: the variables of this process but the home's and XDG's own
    CWindowProgram kalvora(program.string(), {"XDG_", "HOME="}, {"HOME=" + strHome, "XDG_DATA_HOME=" + strDataHome});
    const Window window = WaitForMappedWindow(display, kMainWindowTitle, kWindowTimeout);
    Check(window != 0, "the main window \"Kalvora v1.4\" appears");
    if (!window) {
        XCloseDisplay(display);
        return 1;
    }

    XClassHint hint{};
    std::string strClass;
    if (XGetClassHint(display, window, &hint)) {
        strClass = hint.res_name ? hint.res_name : "";
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    Check(!strClass.empty() && strClass == DesktopEntryValue(strEntry, "StartupWMClass"),
          "the window class \"" + strClass + "\" is the desktop entry's StartupWMClass");

    const auto shippedSettings = ReadFileBytes((shipped / "config.ini").string());
    Check(WaitFor([&] { return ReadFileBytes(strFiles + "/config.ini") == shippedSettings; }, kFileTimeout),
          "the first start copies the shipped config.ini into $XDG_DATA_HOME/kalvora");

    // Port Settings by the keyboard: from the first control, Tab to the button and Space presses it; in the dialog
    // Return presses OK, its default button.
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    for (int i = TabsTo(*mainTemplate, IDC_PORT_SETTINGS); i > 0; --i)
        PressKey(display, XK_Tab);
    PressKey(display, XK_space);
    const Window dialog = WaitForMappedWindow(display, kComPortTitle, kWindowTimeout);
    Check(dialog != 0, "Port Settings opens the COM Port Settings dialog");
    if (dialog) {
        std::this_thread::sleep_for(kSettle); // the dialog takes the focus once it is shown
        XSetInputFocus(display, dialog, RevertToPointerRoot, CurrentTime);
        PressKey(display, XK_Return);
    }
    Check(WaitFor(
              [&] {
                  const std::string strText = ReadFileBytes(strFiles + "/config.ini").value_or("");
                  const std::size_t nSection = strText.find("[Settings]");
                  return nSection != std::string::npos && strText.find("COMPort=", nSection) != std::string::npos &&
                         strText.find("Baudrate=", nSection) != std::string::npos;
              },
              kFileTimeout),
          "OK writes the port and the baud rate into $XDG_DATA_HOME/kalvora/config.ini");
    const std::string strWritten = ReadFileBytes(strFiles + "/config.ini").value_or("");
    Check(strWritten.find("Language=English") != std::string::npos, "the rest of the user's config.ini stays");
    Check(kalvora.Running(), "the program runs on");
    Check(TreeState(root) == before, "nothing in the install directories changed");

    XCloseDisplay(display);
    return g_nFailures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: package_InstalledProgram <staged root>\n", stderr);
        return 2;
    }
    try {
        return Run(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "package_InstalledProgram: %s\n", error.what());
        return 1;
    }
}
