#pragma once

// The application: runs the main window modally and returns when it has closed; the process then ends. Command-line
// arguments are accepted and have no effect, also those meant for Qt itself (-platform, -style, -reverse...).
class CKalvoraApp {
public:
    int Run(int argc, char** argv);
};
