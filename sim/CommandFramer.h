#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Cuts the received bytes into commands at each carriage return. Line feeds are ignored wherever they fall; a
// command that grows beyond kMaxCommand characters is dropped whole, up to and including its carriage return.
class CCommandFramer {
public:
    static constexpr std::size_t kMaxCommand = 64;

    // The commands that the bytes complete, in order, without their carriage return.
    std::vector<std::string> Feed(std::string_view bytes);

private:
    std::string m_strPending;
    bool m_bOverlong = false;
};
