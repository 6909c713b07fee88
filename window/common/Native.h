#pragma once

#include "window/FileDialog.h"
#include "window/MessageBox.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CWnd;
struct CControlTemplate;
struct CDialogTemplate;

// What each implementation of the window layer (window/qt/, window/win32/) gives the code that all of them share
// (window/common/): the few services below, in the implementation's Native.cpp. Everything else an implementation
// gives is a member function of the interface's classes.

// The running executable's path, as the system names it.
std::string NativeExecutablePath();
// Shows a message box (OK alone) or a question (Yes and No, No the default) and returns the answer (true: Yes).
bool NativeMessageBox(const CMessageBoxShown& box, CWnd* pOwner);
// Shows the system's save dialog; the path and filter chosen, or nothing.
std::optional<CSaveChoice> NativeSaveFileName(const CSaveQuestion& question, CWnd* pOwner);
// Shows the system's open dialog; the path chosen, or nothing.
std::optional<std::string> NativeOpenFileName(const COpenQuestion& question, CWnd* pOwner);
