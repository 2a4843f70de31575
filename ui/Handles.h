#pragma once
// Owned Windows handles and scoped Windows resources, released when their
// owner goes away. A handle that the system shares (stock objects, LR_SHARED
// images) is never put in one.
#include <windows.h>

#include <imm.h>

#include "base/KernelHandle.h"
#include "base/UniqueResource.h"

namespace kwo::ui {

template <class Traits>
using UniqueHandle = kwo::UniqueResource<Traits>;

struct IconTraits {
  using Handle = HICON;
  static void Release(HICON icon) { DestroyIcon(icon); }
};
struct MenuTraits {
  using Handle = HMENU;
  static void Release(HMENU menu) { DestroyMenu(menu); }
};
template <class GdiObject>
struct GdiTraits {
  using Handle = GdiObject;
  static void Release(GdiObject object) { DeleteObject(object); }
};
struct RegistryKeyTraits {
  using Handle = HKEY;
  static void Release(HKEY key) { RegCloseKey(key); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static void Release(HMODULE module) { FreeLibrary(module); }
};
// CreateCompatibleDC's device contexts (GetDC's go back with WindowDc).
struct MemoryDcTraits {
  using Handle = HDC;
  static void Release(HDC dc) { DeleteDC(dc); }
};

using OwnedIcon = UniqueHandle<IconTraits>;
using OwnedMenu = UniqueHandle<MenuTraits>;
using OwnedBrush = UniqueHandle<GdiTraits<HBRUSH>>;
using OwnedFont = UniqueHandle<GdiTraits<HFONT>>;
using OwnedHandle = kwo::OwnedHandle;  // base/KernelHandle.h
using OwnedFile = kwo::OwnedFile;
using OwnedRegistryKey = UniqueHandle<RegistryKeyTraits>;
using OwnedModule = UniqueHandle<ModuleTraits>;
using OwnedMemoryDc = UniqueHandle<MemoryDcTraits>;

// A window's device context (GetDC), given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context; the one it replaced goes back in.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A window's input-method context (ImmGetContext), given back with ImmReleaseContext.
class InputContext {
 public:
  explicit InputContext(HWND window);
  ~InputContext();
  InputContext(const InputContext&) = delete;
  InputContext& operator=(const InputContext&) = delete;
  HIMC get() const { return context_; }
  explicit operator bool() const { return context_ != nullptr; }

 private:
  HWND window_;
  HIMC context_;
};

// A system-wide hotkey of a window, registered for the life of this object.
class HotkeyRegistration {
 public:
  HotkeyRegistration(HWND window, int id, UINT modifiers, UINT key)
      : window_(window), id_(id), registered_(RegisterHotKey(window, id, modifiers, key) != FALSE) {}
  ~HotkeyRegistration() {
    if (registered_) UnregisterHotKey(window_, id_);
  }
  HotkeyRegistration(const HotkeyRegistration&) = delete;
  HotkeyRegistration& operator=(const HotkeyRegistration&) = delete;
  // False when another program (or window) holds the key combination.
  bool IsRegistered() const { return registered_; }

 private:
  HWND window_;
  int id_;
  bool registered_;
};

// An icon resource of this program at one size (0: the system's large icon size).
OwnedIcon LoadIconResource(UINT id, int size = 0);

// A solid brush that follows one colour: remade only when the colour changes.
class ColourBrush {
 public:
  HBRUSH Get(COLORREF colour);

 private:
  OwnedBrush brush_;
  COLORREF colour_ = 0;
};

}  // namespace kwo::ui
