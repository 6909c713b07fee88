#pragma once

#include <memory>

// The window system's side of the application object: what must exist before the first window and go after the
// last (Qt's application object; Windows's common controls, the bundled font, the accessibility services). One per
// process, on the thread that runs the windows.
//
// The command line is accepted and has no effect: the implementation gets the program's name alone, so that
// options meant for a toolkit (Qt's -platform, -style, -reverse...) change nothing either.
class CApplication {
public:
    struct Impl;

    CApplication(int argc, char** argv);
    ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

private:
    std::unique_ptr<Impl> m_pImpl;
};
