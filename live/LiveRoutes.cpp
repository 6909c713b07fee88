#include "live/LiveRoutes.h"

namespace {

struct CPath {
    std::string_view m_path;
    ELiveResource m_resource;
};
constexpr CPath kPaths[] = {
    {"/", ELiveResource::Page},
    {"/overlay", ELiveResource::Overlay},
    {"/events", ELiveResource::Events},
    {"/state.json", ELiveResource::StateJson},
    {"/live.css", ELiveResource::Style},
    {"/live.js", ELiveResource::Script},
    {"/display.ttf", ELiveResource::Font},
};

} // namespace

CLiveRoute RouteLiveRequest(std::string_view method, std::string_view target) {
    if (method != "GET" && method != "HEAD")
        return {405, ELiveResource::None};
    if (!target.starts_with('/'))
        return {400, ELiveResource::None};
    const std::string_view path = target.substr(0, target.find('?'));
    for (const CPath& known : kPaths) {
        if (known.m_path == path)
            return {200, known.m_resource};
    }
    return {404, ELiveResource::None};
}

std::string_view LiveContentType(ELiveResource resource) {
    switch (resource) {
    case ELiveResource::Page:
    case ELiveResource::Overlay:
        return "text/html; charset=utf-8";
    case ELiveResource::Events:
        return "text/event-stream; charset=utf-8";
    case ELiveResource::StateJson:
        return "application/json; charset=utf-8";
    case ELiveResource::Style:
        return "text/css; charset=utf-8";
    case ELiveResource::Script:
        return "text/javascript; charset=utf-8";
    case ELiveResource::Font:
        return "font/ttf";
    case ELiveResource::None:
        break;
    }
    return "text/plain; charset=utf-8";
}
