#include "ui/Handles.h"

namespace kwo::ui {

OwnedIcon LoadIconResource(UINT id, int size) {
  if (size == 0) size = GetSystemMetrics(SM_CXICON);
  return OwnedIcon(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

InputContext::InputContext(HWND window) : window_(window), context_(ImmGetContext(window)) {}

InputContext::~InputContext() {
  if (context_ != nullptr) ImmReleaseContext(window_, context_);
}

HBRUSH ColourBrush::Get(COLORREF colour) {
  if (!brush_ || colour != colour_) {
    brush_.reset(CreateSolidBrush(colour));
    colour_ = colour;
  }
  return brush_.get();
}

}  // namespace kwo::ui
