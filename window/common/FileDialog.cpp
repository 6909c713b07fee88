#include "window/FileDialog.h"

#include "window/common/Native.h"

namespace {

SaveQuestionHook& Hook() {
    static SaveQuestionHook hook;
    return hook;
}

OpenQuestionHook& OpenHook() {
    static OpenQuestionHook hook;
    return hook;
}

} // namespace

std::optional<CSaveChoice> AskSaveFile(const CSaveQuestion& question, CWnd* pOwner) {
    if (const SaveQuestionHook hook = Hook())
        return hook(question);
    return NativeSaveFileName(question, pOwner);
}

SaveQuestionHook SetSaveQuestionHook(SaveQuestionHook hook) {
    SaveQuestionHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

std::optional<std::string> AskOpenFileName(const COpenQuestion& question, CWnd* pOwner) {
    if (const OpenQuestionHook hook = OpenHook())
        return hook(question);
    return NativeOpenFileName(question, pOwner);
}

OpenQuestionHook SetOpenQuestionHook(OpenQuestionHook hook) {
    OpenQuestionHook previous = std::move(OpenHook());
    OpenHook() = std::move(hook);
    return previous;
}
