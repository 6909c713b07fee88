#pragma once

#include "live/LiveRoutes.h"
#include "live/LiveTexts.h"

#include <string>
#include <string_view>

// The live page's files, built into the program (live/page/, and the display font of res/fonts/): nothing is read
// from the disk, and the page asks nothing of any other server.

// What the page and the overlay may load: their own files and the event stream of the server that served them (and
// the empty icon they name, so that the browser asks for no other).
inline constexpr std::string_view kLivePagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; font-src 'self'; connect-src 'self'; "
    "img-src 'self' data:; base-uri 'none'; form-action 'none'; frame-ancestors *";

// The body of a page resource: the page and the overlay with the texts in them, the style, the script, the font.
// Empty for the resources that are no file (the events, the state).
std::string LivePageBody(ELiveResource resource, const CLiveTexts& texts);
