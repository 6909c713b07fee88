#pragma once

#include <string_view>

// What the live page's server answers to a request, decided from its method and target alone.

enum class ELiveResource {
    None,      // the answer is the status alone
    Page,      // "/"
    Overlay,   // "/overlay"
    Events,    // "/events"
    StateJson, // "/state.json"
    Style,     // "/live.css"
    Script,    // "/live.js"
    Font,      // "/display.ttf"
};

struct CLiveRoute {
    int m_nStatus = 404;
    ELiveResource m_resource = ELiveResource::None;
    bool operator==(const CLiveRoute&) const = default;
};

// GET and HEAD of the server's own paths (a query after "?" is the page's business) are 200; every other method is
// 405; a target that is not a path from the root ("*", "http://...") is 400; any other path, "/../" and the like
// included, is 404.
CLiveRoute RouteLiveRequest(std::string_view method, std::string_view target);

// The Content-Type of a resource's body.
std::string_view LiveContentType(ELiveResource resource);
