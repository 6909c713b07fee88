// The program's message boxes and its one question, as the system's own message box.

#include "window/common/Native.h"

#include "window/win32/Win32Window.h"

bool NativeMessageBox(const CMessageBoxShown& box, CWnd* pOwner) {
    const std::wstring strText = ToWide(WidenShown(box.strText));
    const std::wstring strTitle = ToWide(WidenShown(box.strTitle));
    const UINT nType = MB_ICONEXCLAMATION | (box.bQuestion ? MB_YESNO | MB_DEFBUTTON2 : MB_OK);
    return MessageBoxW(RootWindowOf(pOwner), strText.c_str(), strTitle.c_str(), nType) == IDYES;
}
