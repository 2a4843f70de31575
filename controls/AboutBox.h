#pragma once
// The About box: program icon, name and version, and a link to the product's page.
#include <windows.h>

namespace kwo::controls {

void ShowAboutBox(HWND owner);

}  // namespace kwo::controls
