#pragma once

#include <string_view>

// Files of res/ built into the program, so that it needs nothing beside itself to show its windows: the dialog
// templates ("dialogs/<n>.dlg") and the bundled display font ("fonts/DSEG7Classic-Italic.ttf"). Empty for any
// other name.
std::string_view EmbeddedResFile(std::string_view strName);
