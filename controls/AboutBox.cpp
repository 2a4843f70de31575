// Placeholder until the About box and its hyperlink label are built.
#include "controls/AboutBox.h"

namespace kwo::controls {

void ShowAboutBox(HWND owner) { MessageBoxW(owner, L"疾书精灵", L"关于 疾书精灵", MB_OK | MB_ICONINFORMATION); }

}  // namespace kwo::controls
