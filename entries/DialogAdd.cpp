#include "entries/DialogAdd.h"

#include "entries/EntryCommands.h"
#include "keys/KeySend.h"
#include "keys/SequenceCheck.h"
#include "keys/TrialKeyPlatform.h"
#include "res/resource.h"
#include "store/AdoErrors.h"
#include "store/ShorthandTable.h"
#include "text/Utf.h"
#include "ui/TimedNotice.h"
#include "ui/UnsavedChanges.h"

namespace kwo::entries {

namespace {
constexpr unsigned kForgotEscapeNoticeMs = 3000;
constexpr unsigned kNoticeMs = 2000;
constexpr unsigned kFailureNoticeMs = 6000;  // time to read why, and what to do
constexpr size_t kStoredShownUnits = 200;

void Refuse() { Beep(880, 100); }

// A save or delete the database refused: what did not happen, why, and that
// the dialog still holds what was typed.
std::wstring WriteFailureText(const wchar_t* what, const kwo::store::CADORecordset& rs) {
  std::u16string reason = kwo::store::WriteFailureReason(rs.LastFailure());
  if (reason.empty()) reason = u"请再试一次！\n详细信息：" + rs.ErrorDescription();
  return std::wstring(what) + L"\n" + kwo::text::ToWide(reason) + L"\n您输入的内容仍在对话框里。";
}
}  // namespace

CDialogAdd::CDialogAdd(kwo::store::CADODataBase& database)
    : CDialog(IDD_DIALOG_ADD), connection_(database.Connection()) {
  lookup_.SetConnection(connection_);
  OnNotification(IDC_SHORTKEY, EN_CHANGE, &CDialogAdd::OnShortKeyChange);
  OnCommandId(IDC_ESCAPE, &CDialogAdd::OnEscape);
  OnCommandId(IDC_UNESCAPE, &CDialogAdd::OnUnescape);
  OnCommandId(IDC_DELETE, &CDialogAdd::OnDelete);
  OnNotification(IDC_CONTENT, EN_CHANGE, &CDialogAdd::OnContentChange);
  OnCommandId(IDC_TRY, &CDialogAdd::OnTry);
  OnMessage(kwo::ui::kQueryUnsavedChanges, &CDialogAdd::OnQueryUnsaved);
}

BOOL CDialogAdd::OnInitDialog() {
  shortKeyBox_.Attach(Item(IDC_SHORTKEY));
  SendDlgItemMessageW(Handle(), IDC_SHORTKEY, EM_LIMITTEXT, kwo::store::kMaxShortKeyLength, 0);
  return TRUE;  // focus on the first tab stop, the short-key box
}

std::u16string CDialogAdd::Content() const { return kwo::text::FromWide(kwo::ui::ItemText(Handle(), IDC_CONTENT)); }

void CDialogAdd::SetContent(const std::u16string& text) {
  kwo::ui::SetItemText(Handle(), IDC_CONTENT, kwo::text::ToWide(text));
  OnContentChange();  // a multi-line box sends no EN_CHANGE for a text set this way
}

void CDialogAdd::OnShortKeyChange() {
  const std::u16string key = kwo::text::FromWide(kwo::ui::ItemText(Handle(), IDC_SHORTKEY));
  SetContent(u"");
  state_.Cleared();
  if (key.empty()) return;  // the last lookup stays, for delete
  Lookup(key);
}

void CDialogAdd::Lookup(const std::u16string& key) {
  if (!kwo::store::OpenLookup(lookup_, connection_, kwo::store::ShortKeyId(key))) {
    // Never taken for "no such entry": saving it as new could replace one.
    state_.LookupFailed();
    ShowCheckLine();
    return;
  }
  if (lookup_.RecordCount() > 0) {
    std::u16string content;
    lookup_.FieldText(kwo::store::kColumnContent, content);
    SetContent(content);
    state_.Found(content);
  } else {
    state_.NotFound();
  }
  ShowCheckLine();
}

void CDialogAdd::TellWriteFailure(const wchar_t* what) {
  kwo::ui::ShowTimedNotice(WriteFailureText(what, lookup_), kFailureNoticeMs);
}

void CDialogAdd::TellStored(const std::u16string& key) {
  std::u16string stored;
  if (lookup_.IsOpen() && lookup_.RecordCount() > 0) lookup_.FieldText(kwo::store::kColumnContent, stored);
  if (stored.size() > kStoredShownUnits) stored = stored.substr(0, kStoredShownUnits) + u"…";
  kwo::ui::ShowTimedNotice(L"速记符“" + kwo::text::ToWide(key) + L"”已经有内容（刚才查不到，所以没有显示）：\n" +
                               kwo::text::ToWide(stored) +
                               L"\n速记没有保存。您输入的内容仍在对话框里；再按“确定”会用它替换原有的内容。",
                           kFailureNoticeMs);
}

void CDialogAdd::LookupKeepingContent(const std::u16string& key) {
  const std::u16string content = Content();
  Lookup(key);
  if (Content() != content) SetContent(content);
}

void CDialogAdd::OnContentChange() {
  ShowCheckLine();
  kwo::ui::SetItemText(Handle(), IDC_TRIAL, L"");  // it showed the content before this change
}

// Asked before the program ends: a content typed or changed and not saved
// keeps the program running.
INT_PTR CDialogAdd::OnQueryUnsaved(WPARAM, LPARAM) { return SetMessageResult(state_.Unsaved(Content()) ? 1 : 0); }

void CDialogAdd::ShowCheckLine() {
  const std::u16string line = state_.lookupFailed()
                                  ? LookupFailedText()
                                  : kwo::keys::DescribeSequenceProblem(kwo::keys::CheckKeySequence(Content()));
  kwo::ui::SetItemText(Handle(), IDC_CONTENT_CHECK, kwo::text::ToWide(line));
}

void CDialogAdd::OnTry() {
  // The interpreter itself, on a platform that writes text instead of pressing keys.
  kwo::keys::TrialKeyPlatform trial;
  kwo::keys::KeySendState state;
  // Date and time fields show what they would type now.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  state.fields.now = kwo::keys::LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  const std::u16string content = Content();
  std::u16string shown;
  if (!kwo::keys::SendKeySequence(content.c_str(), state, trial)) {
    shown = trial.Text() + u"〔发送在这里停止〕";
  } else {
    shown = trial.Text();
  }
  kwo::ui::SetItemText(Handle(), IDC_TRIAL, kwo::text::ToWide(shown));
}

void CDialogAdd::OnEscape() {
  const auto action = state_.PressEscape(Content());
  if (action.refused) Refuse();
  if (action.replace) SetContent(action.text);
}

void CDialogAdd::OnUnescape() {
  const auto action = state_.PressUnescape(Content());
  if (action.refused) Refuse();
  if (action.replace) SetContent(action.text);
}

void CDialogAdd::OnOK() {
  const std::u16string key = kwo::text::FromWide(kwo::ui::ItemText(Handle(), IDC_SHORTKEY));
  const std::u16string content = Content();
  // A pasted key keeps only the run its id is made of. Without one there is
  // nothing to save under: say why, and keep the dialog and what was typed.
  const std::u16string storedKey = StoredKey(key);
  if (storedKey.empty()) {
    kwo::ui::ShowTimedNotice(kwo::text::ToWide(KeyProblemText(key)), kNoticeMs);
    SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SHORTKEY)), TRUE);
    return;
  }
  if (state_.WarnOnSave()) kwo::ui::ShowTimedNotice(L"您可能忘了转义了", kForgotEscapeNoticeMs);
  // The lookup of the current key failed: try it once more rather than save blindly.
  const bool retried = state_.lookupFailed();
  if (!lookup_.IsOpen()) {
    // Asked again by the user: connect at once, not refused by the pause after a failed connect.
    if (kwo::store::DbSession* session = connection_ ? connection_->Session() : nullptr) session->SkipRetryPause();
    LookupKeepingContent(key);
  }
  switch (state_.StepAfterLookup(retried)) {
    case EditState::SaveStep::Refuse:
      TellWriteFailure(L"查不到这个速记符是否已有内容（数据库不能访问），速记没有保存！");
      return;
    case EditState::SaveStep::ShowStored:
      TellStored(storedKey);
      return;
    default:
      break;
  }
  if (!lookup_.IsOpen()) {
    TellWriteFailure(L"数据库不能访问，速记没有保存！");
    return;
  }
  // The save looks the key up again: a copy elsewhere may have added it since.
  if (!kwo::store::SaveEntry(lookup_, connection_, storedKey, content)) {
    // Keep the dialog open so that what the user typed is not lost; say why.
    // The next OK or delete looks the key up again.
    TellWriteFailure(L"速记没有保存。");
    return;
  }
  EndDialog(IDOK);
}

void CDialogAdd::OnDelete() {
  // After a failed save or delete the lookup is closed: the key is looked up again.
  const std::u16string key = kwo::text::FromWide(kwo::ui::ItemText(Handle(), IDC_SHORTKEY));
  if (!lookup_.IsOpen() && !key.empty()) LookupKeepingContent(key);
  if (!lookup_.IsOpen() || lookup_.RecordCount() == 0) {
    Refuse();
    return;
  }
  const bool deleted = lookup_.Delete();
  lookup_.Close();
  if (!deleted) {
    TellWriteFailure(L"速记没有删除。");
    return;
  }
  EndDialog(IDCANCEL);
}

void RunEditDialog(HWND owner, kwo::store::CADODataBase& database) {
  CDialogAdd dialog(database);
  dialog.DoModal(owner);
}

}  // namespace kwo::entries
