#include "live/LivePage.h"

#include "live/EmbeddedLiveFiles.h"
#include "res/EmbeddedFiles.h"

namespace {

// The page's one template, live.html, holds a placeholder for its mode ("page" or "overlay") and one for its
// texts (a JSON object inside a data block that the script reads).
constexpr std::string_view kModePlaceholder = "{{MODE}}";
constexpr std::string_view kTextsPlaceholder = "{{TEXTS}}";
constexpr std::string_view kLanguagePlaceholder = "{{LANGUAGE}}";
constexpr std::string_view kTitlePlaceholder = "{{TITLE}}";

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
    for (std::size_t nAt = text.find(placeholder); nAt != std::string::npos;
         nAt = text.find(placeholder, nAt + value.size()))
        text.replace(nAt, placeholder.size(), value);
}

// Plain text for an element's content or an attribute's value.
std::string HtmlText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string LivePageBody(ELiveResource resource, const CLiveTexts& texts) {
    switch (resource) {
    case ELiveResource::Page:
    case ELiveResource::Overlay: {
        std::string text(EmbeddedLiveFile("live.html"));
        ReplaceAll(text, kModePlaceholder, resource == ELiveResource::Overlay ? "overlay" : "page");
        ReplaceAll(text, kLanguagePlaceholder, HtmlText(texts.m_strLanguage));
        ReplaceAll(text, kTitlePlaceholder, HtmlText(texts.m_strTitle));
        ReplaceAll(text, kTextsPlaceholder, LiveTextsJson(texts));
        return text;
    }
    case ELiveResource::Style:
        return std::string(EmbeddedLiveFile("live.css"));
    case ELiveResource::Script:
        return std::string(EmbeddedLiveFile("live.js"));
    case ELiveResource::Font:
        return std::string(EmbeddedResFile("fonts/DSEG7Classic-Italic.ttf"));
    case ELiveResource::Events:
    case ELiveResource::StateJson:
    case ELiveResource::None:
        break;
    }
    return {};
}
