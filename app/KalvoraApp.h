#pragma once

// The application: runs the main window modally and returns when it has closed; the process then ends. Command-line
// arguments are accepted and have no effect, also those meant for Qt itself (-platform, -style, -reverse...).
class CKalvoraApp {
public:
    int Run(int argc, char** argv);
};

// What the application tells the window system about itself: the icon of its windows, and the name of its desktop
// entry without ".desktop", by which a Wayland desktop matches the windows to the entry and its icon (an X11 one
// matches the window class, "kalvora", to the entry's StartupWMClass).
void SetApplicationIdentity();
