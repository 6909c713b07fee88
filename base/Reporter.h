#pragma once

#include <functional>
#include <string>

// How the core tells the user that something failed. The owner of a core object passes one in: the program
// shows a message box, tests record the text. An empty reporter drops the message.
using Reporter = std::function<void(const std::string& strMessage)>;

// The only three messages the program ever shows; fixed English, never translated.
inline constexpr const char* kMsgCantOpenPort = "Can't open COM port";
inline constexpr const char* kMsgCantCreateFile = "Can't open file!";
inline constexpr const char* kMsgCantReadFile = "Can't Open File!";

inline void Report(const Reporter& reporter, const std::string& strMessage) {
    if (reporter)
        reporter(strMessage);
}
