#pragma once

// The application: runs the main window modally and returns when it has closed; the process then ends. Command-line
// arguments are accepted and have no effect (window/Application.h).
class CKalvoraApp {
public:
    int Run(int argc, char** argv);
};
