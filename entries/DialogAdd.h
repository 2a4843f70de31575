#pragma once
// The entry edit dialog (130, "编辑速记"): type a short key, see its stored
// content, save a new or changed content, delete the entry, and escape or
// unescape the content. Under the content a line says whether the
// interpreter would read it as meant; "试一试" types it into a scratch box.
#include <windows.h>

#include "controls/Edit37.h"
#include "entries/EditState.h"
#include "store/AdoDataBase.h"
#include "ui/Dialog.h"

namespace kwo::entries {

class CDialogAdd : public kwo::ui::CDialog {
 public:
  // Works on the main dialog's connection, through a recordset of its own.
  explicit CDialogAdd(kwo::store::CADODataBase& database);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  void OnShortKeyChange();
  void OnEscape();
  void OnUnescape();
  void OnDelete();
  void OnContentChange();
  void OnTry();
  INT_PTR OnQueryUnsaved(WPARAM, LPARAM);
  void Lookup(const std::u16string& key);
  // Looks the key up again for a save or delete, leaving the content box as it is.
  void LookupKeepingContent(const std::u16string& key);
  // The notice for a save or delete the database refused: `what` did not happen, and why.
  void TellWriteFailure(const wchar_t* what);
  // The entry a lookup found after an earlier one failed: its content, before anything replaces it.
  void TellStored(const std::u16string& key);
  // Under the content: why the key is not known, or what the content check says.
  void ShowCheckLine();
  std::u16string Content() const;
  void SetContent(const std::u16string& text);

  EditState state_;
  kwo::store::CADORecordset lookup_;  // the last lookup; save and delete act on it
  std::shared_ptr<kwo::store::DbConnection> connection_;
  kwo::controls::CEdit37 shortKeyBox_;
};

}  // namespace kwo::entries
