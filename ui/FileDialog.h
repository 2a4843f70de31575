#pragma once
// The system's Open and Save dialogs for one file. The shell's file dialog
// objects are used where the system has them (they keep nothing open after
// a use); the classic common dialog otherwise. Either way the program's
// current folder stays as it was.
#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kwo::ui {

struct FileDialogRequest {
  bool forSave = false;
  std::wstring title;  // empty: the system's own
  // Pairs of a name shown to the user and its patterns ("*.txt"); the first is chosen.
  std::vector<std::pair<std::wstring, std::wstring>> types;
  std::wstring defaultExtension;  // without the dot
  std::wstring defaultName;       // the file name offered at first
  // Where the dialog opens when the system remembers no folder of the
  // program's last use; empty: the system's choice.
  std::filesystem::path defaultFolder;
  // Save: the dialog itself asks before an existing file is chosen (and
  // refuses a read-only one). False when the caller asks on its own.
  bool askBeforeReplacing = true;
};

// The file the user chose; false when the user cancelled.
bool ChooseFile(HWND owner, const FileDialogRequest& request, std::filesystem::path& path);

}  // namespace kwo::ui
