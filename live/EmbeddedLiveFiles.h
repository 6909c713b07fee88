#pragma once

#include <string_view>

// The live page's files of live/page/ built into the program ("live.html", "live.css", "live.js"). Empty for any
// other name.
std::string_view EmbeddedLiveFile(std::string_view strName);
