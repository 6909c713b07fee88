#pragma once

#include <optional>
#include <string>
#include <string_view>

// The rules of sharing the live page on this computer's network, as the Live Page dialog and the main window follow
// them (the server itself: live/LiveServer.h).

// The address a browser opens for the page served at that IPv4 address and port: "http://192.168.1.20:8080/".
std::string LivePageUrl(std::string_view address, int nPort);

// The port a user typed: digits only, 1 to 65535 (leading zeros allowed); nothing for any other text.
std::optional<int> ParseLivePort(std::string_view text);

// Why the server could not listen on a port, by the words it gave (CLiveServer::CStartResult::m_strError; it tells
// a port another program holds as "in use" on Windows too, where the system refuses it as "access denied").
enum class ELiveShareFailure {
    InUse,      // another program listens there
    NotAllowed, // the system refuses the port to this program (below 1024 on Linux), or it is no port at all
    Other,      // anything else; its words go into the message
};
ELiveShareFailure LiveShareFailureOf(std::string_view error);

// A message of the language with its "%1" and "%2" replaced by the values (each place, any number of times); every
// other character as it is.
std::string FillInMessage(std::string_view text, std::string_view first, std::string_view second = {});
