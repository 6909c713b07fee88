#include "window/FileDialog.h"

#include "window/common/Native.h"

namespace {

SaveQuestionHook& Hook() {
    static SaveQuestionHook hook;
    return hook;
}

} // namespace

std::optional<std::string> AskSaveFileName(const CSaveQuestion& question, CWnd* pOwner) {
    if (const SaveQuestionHook hook = Hook())
        return hook(question);
    return NativeSaveFileName(question, pOwner);
}

SaveQuestionHook SetSaveQuestionHook(SaveQuestionHook hook) {
    SaveQuestionHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}
