#pragma once
// The About box: program icon, name and version, and a link to the product's page.
#include <windows.h>

namespace kwo::controls {

void ShowAboutBox(HWND owner);

// "检查新版本": the program does not go to the network; the box says which
// version this is and where new ones are published.
void ShowVersionNotice(HWND owner);

}  // namespace kwo::controls
