#include "ui/FileDialog.h"

#include <commdlg.h>
#include <objbase.h>
#include <shobjidl.h>

#include <algorithm>

#include "base/SystemLibrary.h"

namespace kwo::ui {

namespace {

// COM comes from ole32.dll and the classic dialogs from comdlg32.dll, both
// loaded at the first dialog: the program's imports, and so its start and
// its memory at idle, stay without them.
struct ComEntries {
  HRESULT(WINAPI* initialize)(void*, DWORD) = nullptr;
  void(WINAPI* uninitialize)() = nullptr;
  HRESULT(WINAPI* create)(REFCLSID, IUnknown*, DWORD, REFIID, void**) = nullptr;
  void(WINAPI* freeTaskMemory)(void*) = nullptr;

  bool Complete() const { return initialize && uninitialize && create && freeTaskMemory; }
};

const ComEntries& Com() {
  static const ComEntries entries = [] {
    ComEntries loaded;
    loaded.initialize = SystemFunction<decltype(loaded.initialize)>(L"ole32.dll", "CoInitializeEx");
    loaded.uninitialize = SystemFunction<decltype(loaded.uninitialize)>(L"ole32.dll", "CoUninitialize");
    loaded.create = SystemFunction<decltype(loaded.create)>(L"ole32.dll", "CoCreateInstance");
    loaded.freeTaskMemory = SystemFunction<decltype(loaded.freeTaskMemory)>(L"ole32.dll", "CoTaskMemFree");
    return loaded;
  }();
  return entries;
}

// The shell item of a folder; nullptr when the system has no such call or folder.
IShellItem* FolderItem(const std::filesystem::path& folder) {
  using CreateFn = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);
  static const auto create = SystemFunction<CreateFn>(L"shell32.dll", "SHCreateItemFromParsingName");
  IShellItem* item = nullptr;
  if (!create || folder.empty()) return nullptr;
  if (FAILED(create(folder.c_str(), nullptr, IID_IShellItem, reinterpret_cast<void**>(&item)))) return nullptr;
  return item;
}

enum class Outcome { Chosen, Cancelled, Unavailable };

Outcome ShowItemDialog(IFileDialog& dialog, HWND owner, const FileDialogRequest& request,
                       std::filesystem::path& path) {
  std::vector<COMDLG_FILTERSPEC> specs;
  for (const auto& [name, patterns] : request.types) specs.push_back({name.c_str(), patterns.c_str()});
  if (!specs.empty() && FAILED(dialog.SetFileTypes(static_cast<UINT>(specs.size()), specs.data())))
    return Outcome::Unavailable;
  if (!request.defaultExtension.empty()) dialog.SetDefaultExtension(request.defaultExtension.c_str());
  if (!request.title.empty()) dialog.SetTitle(request.title.c_str());
  if (!request.defaultName.empty()) dialog.SetFileName(request.defaultName.c_str());
  if (IShellItem* folder = FolderItem(request.defaultFolder)) {
    dialog.SetDefaultFolder(folder);
    folder->Release();
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog.GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR;
  if (!request.forSave) options |= FOS_FILEMUSTEXIST;
  else if (request.askBeforeReplacing) options |= FOS_OVERWRITEPROMPT | FOS_NOREADONLYRETURN;
  else options &= ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_OVERWRITEPROMPT | FOS_NOREADONLYRETURN);
  if (FAILED(dialog.SetOptions(options))) return Outcome::Unavailable;

  const HRESULT shown = dialog.Show(owner);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return Outcome::Cancelled;
  IShellItem* item = nullptr;
  if (FAILED(shown) || FAILED(dialog.GetResult(&item)) || !item) return Outcome::Unavailable;
  wchar_t* name = nullptr;
  const HRESULT named = item->GetDisplayName(SIGDN_FILESYSPATH, &name);
  item->Release();
  if (FAILED(named) || !name) return Outcome::Unavailable;
  path = std::filesystem::path(name);
  Com().freeTaskMemory(name);
  return Outcome::Chosen;
}

Outcome ChooseWithItemDialog(HWND owner, const FileDialogRequest& request, std::filesystem::path& path) {
  const ComEntries& com = Com();
  if (!com.Complete()) return Outcome::Unavailable;
  const HRESULT initialized = com.initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // A thread that runs COM in the other model can still show the dialog.
  if (FAILED(initialized) && initialized != RPC_E_CHANGED_MODE) return Outcome::Unavailable;
  Outcome outcome = Outcome::Unavailable;
  IFileDialog* dialog = nullptr;
  const HRESULT created =
      com.create(request.forSave ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                 request.forSave ? IID_IFileSaveDialog : IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog));
  if (SUCCEEDED(created) && dialog) {
    outcome = ShowItemDialog(*dialog, owner, request, path);
    dialog->Release();
  }
  if (SUCCEEDED(initialized)) com.uninitialize();
  return outcome;
}

bool ChooseWithCommonDialog(HWND owner, const FileDialogRequest& request, std::filesystem::path& path) {
  std::wstring filter;
  for (const auto& [name, patterns] : request.types) {
    filter += name;
    filter += L'\0';
    filter += patterns;
    filter += L'\0';
  }
  filter += L'\0';
  // Room for long paths; the dialog cuts nothing it can return whole.
  std::wstring file(32768, L'\0');
  request.defaultName.copy(file.data(), std::min(request.defaultName.size(), file.size() - 1));
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = request.types.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
  ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
  const std::wstring folder = request.defaultFolder.wstring();
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!request.forSave) ofn.Flags |= OFN_FILEMUSTEXIST;
  else if (request.askBeforeReplacing) ofn.Flags |= OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
  using ChooseFn = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const auto open = SystemFunction<ChooseFn>(L"comdlg32.dll", "GetOpenFileNameW");
  static const auto save = SystemFunction<ChooseFn>(L"comdlg32.dll", "GetSaveFileNameW");
  const ChooseFn choose = request.forSave ? save : open;
  if (!choose || !choose(&ofn)) return false;
  path = std::filesystem::path(file.c_str());
  return true;
}

}  // namespace

bool ChooseFile(HWND owner, const FileDialogRequest& request, std::filesystem::path& path) {
  switch (ChooseWithItemDialog(owner, request, path)) {
    case Outcome::Chosen: return true;
    case Outcome::Cancelled: return false;
    case Outcome::Unavailable: break;
  }
  return ChooseWithCommonDialog(owner, request, path);
}

}  // namespace kwo::ui
