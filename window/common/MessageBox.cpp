#include "window/MessageBox.h"

#include "window/common/Native.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

bool ShowOrHook(CMessageBoxShown box, CWnd* pOwner) {
    box.strTitle = ApplicationName();
    if (const MessageBoxHook hook = Hook())
        return hook(box);
    return NativeMessageBox(box, pOwner);
}

} // namespace

std::string ApplicationName() {
    return ApplicationNameFromPath(NativeExecutablePath());
}

std::string ApplicationNameFromPath(std::string_view executablePath) {
    const std::size_t nSlash = executablePath.find_last_of("/\\");
    const std::string_view file = nSlash == std::string_view::npos ? executablePath : executablePath.substr(nSlash + 1);
    const std::size_t nDot = file.rfind('.');
    return std::string(nDot == std::string_view::npos ? file : file.substr(0, nDot));
}

void ShowMessageBox(std::string_view text, CWnd* pOwner) {
    ShowOrHook({{}, std::string(text), false}, pOwner);
}

bool AskYesNo(std::string_view text, CWnd* pOwner) {
    return ShowOrHook({{}, std::string(text), true}, pOwner);
}

Reporter MessageBoxReporter(CWnd* pOwner) {
    return [pOwner](const std::string& strMessage) {
        ShowMessageBox(strMessage, pOwner);
    };
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

CMessageBoxRecorder::CMessageBoxRecorder(bool bAnswerYes) : m_bAnswerYes(bAnswerYes) {
    m_previous = SetMessageBoxHook([this](const CMessageBoxShown& box) {
        m_entries.push_back(box);
        return m_bAnswerYes;
    });
}

CMessageBoxRecorder::~CMessageBoxRecorder() {
    SetMessageBoxHook(std::move(m_previous));
}

std::vector<std::string> CMessageBoxRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const auto& entry : m_entries)
        texts.push_back(entry.strText);
    return texts;
}
