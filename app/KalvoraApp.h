#pragma once

#include <optional>

// The application: runs the main window modally and returns when it has closed; the process then ends. Command-line
// arguments are accepted and have no effect (window/Application.h).
class CKalvoraApp {
public:
    // nSessionPort: a port this run uses whatever config.ini names (the training program's simulated unit), through
    // settings of the session's own (settings/SessionSettings.h); the user's config.ini is left as it is.
    explicit CKalvoraApp(std::optional<int> nSessionPort = std::nullopt) : m_nSessionPort(nSessionPort) {}

    int Run(int argc, char** argv);

private:
    std::optional<int> m_nSessionPort;
};
