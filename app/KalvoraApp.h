#pragma once

// The application: runs the main window and ends when it closes. Command-line arguments have no effect.
class CKalvoraApp {
public:
    int Run(int argc, char** argv);
};
