#include "settings/OptionDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include "base/SystemLibrary.h"
#include "keys/SequenceCheck.h"
#include "res/resource.h"
#include "settings/IniFile.h"
#include "settings/Options.h"
#include "text/Utf.h"
#include "ui/Controls.h"
#include "ui/UnsavedChanges.h"
#include "ui/Window.h"

namespace kwo::settings {

using kwo::text::FromWide;
using kwo::text::ToWide;

COptionDlg::COptionDlg() : CDialog(IDD_OPTIONS) {
  // A click only: the second click of a double click (STN_DBLCLK) would
  // open another chooser over the first.
  OnNotification(IDC_COLOUR, STN_CLICKED, &COptionDlg::OnSwatchClicked);
  OnMessage(WM_DRAWITEM, &COptionDlg::OnDrawItem);
  OnMessage(kwo::ui::kQueryUnsavedChanges, &COptionDlg::OnQueryUnsaved);
}

BOOL COptionDlg::OnInitDialog() {
  HWND dialog = Handle();
  ui::SetItemText(dialog, IDC_PRE_STR, ToWide(options.preStr));
  ui::SetItemText(dialog, IDC_AFTER_STR, ToWide(options.afterStr));
  ui::SetItemText(dialog, IDC_TIMER_STR, ToWide(options.timerStr));
  ui::CUpDown spin(Item(IDC_INTERVAL_SPIN));
  spin.SetBuddy(Item(IDC_INTERVAL));
  ui::CheckItem(dialog, IDC_ENABLE_PRE, options.enablePre != 0);
  ui::CheckItem(dialog, IDC_ENABLE_AFTER, options.enableAfter != 0);
  ui::CheckItem(dialog, IDC_TIMER_ON, timerOn != 0);
  spin.SetRange32(kMinInterval, kMaxInterval);
  spin.SetPos32(options.interval);  // a stored value out of range shows as the nearest end
  chosenColour_ = RGB(options.red, options.green, options.blue);
  InvalidateRect(Item(IDC_COLOUR), nullptr, TRUE);
  ui::SetItemText(dialog, IDC_PASTE_ABOVE, std::to_wstring(options.pasteAbove));
  hotKeyBox_.Attach(Item(IDC_HOTKEY));
  hotKeyBox_.Show(hotKey);
  hotKeyAtStart_ = hotKey;
  valuesAtStart_ = ControlValues();
  return TRUE;
}

std::wstring COptionDlg::ControlValues() const {
  HWND dialog = Handle();
  std::wstring values;
  for (const int id : {IDC_PRE_STR, IDC_AFTER_STR, IDC_TIMER_STR, IDC_INTERVAL, IDC_PASTE_ABOVE, IDC_HOTKEY}) {
    values += ui::ItemText(dialog, id);
    values += L'\0';  // no box can hold it, so no two sets of boxes join to the same text
  }
  for (const int id : {IDC_ENABLE_PRE, IDC_ENABLE_AFTER, IDC_TIMER_ON}) values += ui::IsItemChecked(dialog, id) ? L'1' : L'0';
  return values + std::to_wstring(chosenColour_);
}

INT_PTR COptionDlg::OnQueryUnsaved(WPARAM, LPARAM) { return SetMessageResult(ControlValues() != valuesAtStart_ ? 1 : 0); }

void COptionDlg::OnSwatchClicked() {
  static COLORREF customColours[16] = {};
  CHOOSECOLORW chooser{};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = Handle();
  chooser.rgbResult = RGB(options.red, options.green, options.blue);  // the colour in force, not an earlier pick
  chooser.lpCustColors = customColours;
  chooser.Flags = CC_RGBINIT;
  // Cancelling leaves rgbResult at the preset, so the swatch returns to the colour in force.
  // comdlg32.dll is loaded here, at the first use: kwo.exe does not import it.
  using ChooseColorFn = BOOL(WINAPI*)(CHOOSECOLORW*);
  static const auto chooseColour = SystemFunction<ChooseColorFn>(L"comdlg32.dll", "ChooseColorW");
  if (chooseColour) chooseColour(&chooser);
  chosenColour_ = chooser.rgbResult;
  InvalidateRect(Item(IDC_COLOUR), nullptr, TRUE);
}

INT_PTR COptionDlg::OnDrawItem(WPARAM wParam, LPARAM lParam) {
  if (wParam != IDC_COLOUR) return FALSE;
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  FillRect(item->hDC, &item->rcItem, swatchBrush_.Get(chosenColour_));
  FrameRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return TRUE;
}

bool COptionDlg::TakeHotKey() {
  HWND dialog = Handle();
  const std::wstring text = ui::ItemText(dialog, IDC_HOTKEY);
  const std::optional<keys::HotKey> chosen = keys::ParseHotKey(FromWide(text));
  const std::u16string refusal = chosen ? keys::HotKeyRefusal(*chosen) : std::u16string();
  if (!chosen) {
    const std::wstring message = L"无法识别热键“" + text + L"”。\n请在框中按下新的组合键，例如 Ctrl+Alt+K。";
    MessageBoxW(dialog, message.c_str(), ui::ProgramName().c_str(), MB_OK | MB_ICONWARNING);
  } else if (!refusal.empty()) {
    const std::wstring message = L"不能用这个热键：" + ToWide(refusal) + L"\n请在框中按下新的组合键。";
    MessageBoxW(dialog, message.c_str(), ui::ProgramName().c_str(), MB_OK | MB_ICONWARNING);
  } else if (*chosen != hotKey && applyHotKey && !applyHotKey(*chosen)) {
    const std::wstring message = L"热键 " + ToWide(keys::FormatHotKey(*chosen)) +
                                 L" 已被其他程序占用。\n仍然使用原来的热键 " + ToWide(keys::FormatHotKey(hotKey)) + L"。";
    MessageBoxW(dialog, message.c_str(), ui::ProgramName().c_str(), MB_OK | MB_ICONWARNING);
  } else {
    hotKey = *chosen;
    return true;
  }
  hotKeyBox_.Show(hotKey);
  SetFocus(Item(IDC_HOTKEY));
  return false;
}

void COptionDlg::OnCancel() {
  // An OK the file refused may have put a new hotkey in force already:
  // cancelled, the one from before comes back.
  if (hotKey != hotKeyAtStart_ && applyHotKey) applyHotKey(hotKeyAtStart_);
  hotKey = hotKeyAtStart_;
  EndDialog(IDCANCEL);
}

bool COptionDlg::IntervalAccepted() {
  HWND dialog = Handle();
  if (ParseInterval(FromWide(ui::ItemText(dialog, IDC_INTERVAL)))) return true;
  MessageBoxW(dialog, L"定时发送的间隔应是 0 到 1440 之间的整数（分钟）。", ui::ProgramName().c_str(), MB_OK | MB_ICONWARNING);
  SetFocus(Item(IDC_INTERVAL));
  SendMessageW(Item(IDC_INTERVAL), EM_SETSEL, 0, -1);
  return false;
}

bool COptionDlg::PasteAboveAccepted() {
  if (ParsePasteAbove(FromWide(ui::ItemText(Handle(), IDC_PASTE_ABOVE)))) return true;
  MessageBoxW(Handle(), L"改用粘贴的字数应是 0 到 1000000 之间的整数（0 表示不用粘贴）。", ui::ProgramName().c_str(),
              MB_OK | MB_ICONWARNING);
  SetFocus(Item(IDC_PASTE_ABOVE));
  SendMessageW(Item(IDC_PASTE_ABOVE), EM_SETSEL, 0, -1);
  return false;
}

bool COptionDlg::SequencesAccepted() {
  HWND dialog = Handle();
  const struct {
    int id;
    const wchar_t* name;
  } fields[] = {{IDC_PRE_STR, L"发送前的序列"}, {IDC_AFTER_STR, L"发送后的序列"}, {IDC_TIMER_STR, L"定时发送的序列"}};
  std::wstring warnings;
  int firstId = 0;
  size_t firstPosition = 0, firstLength = 0;
  for (const auto& field : fields) {
    const keys::SequenceProblem problem = keys::CheckKeySequence(FromWide(ui::ItemText(dialog, field.id)));
    if (problem.kind == keys::SequenceProblemKind::None) continue;
    warnings += std::wstring(field.name) + L"：" + ToWide(keys::DescribeSequenceProblem(problem)) + L"\n";
    if (firstId == 0) {
      firstId = field.id;
      firstPosition = problem.position;
      firstLength = problem.group.size();
    }
  }
  if (warnings.empty()) return true;
  const std::wstring text = warnings + L"\n这些序列发送时不会按预期进行。仍然保存吗？";
  if (MessageBoxW(dialog, text.c_str(), ui::ProgramName().c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES) return true;
  // Back to the first problem, selected, to be mended.
  SetFocus(Item(firstId));
  SendMessageW(Item(firstId), EM_SETSEL, firstPosition, firstPosition + firstLength);
  return false;
}

void COptionDlg::OnOK() {
  HWND dialog = Handle();
  // The hotkey last: a changed one is registered at once.
  if (!IntervalAccepted() || !PasteAboveAccepted() || !SequencesAccepted() || !TakeHotKey()) return;
  Options chosen = ChosenOptions();

  std::wstring error;
  bool fileInUse = false;
  saveFailed = !SaveOptions(chosen, error, fileInUse);
  if (saveFailed && fileInUse) {
    // Another program has the file open: the dialog stays with what was
    // chosen, for OK once that program has let it go. Cancel keeps the old options.
    const std::wstring text = error + L"\n\n请关闭使用这个文件的程序后再点“确定”；点“取消”则不改设置。";
    MessageBoxW(dialog, text.c_str(), ui::ProgramName().c_str(), MB_OK | MB_ICONWARNING);
    return;
  }
  timerOn = ui::IsItemChecked(dialog, IDC_TIMER_ON) ? 1 : 0;
  if (saveFailed) {
    // The options still hold for this run; the file keeps what it had.
    const std::wstring text = error + L"\n\n新的设置只在本次运行中有效。";
    MessageBoxW(dialog, text.c_str(), ui::ProgramName().c_str(), MB_OK | MB_ICONWARNING);
  }
  options = chosen;
  EndDialog(IDOK);
}

Options COptionDlg::ChosenOptions() const {
  HWND dialog = Handle();
  // A copy, so that options this dialog has no control for pass through unchanged.
  Options chosen = options;
  chosen.preStr = FromWide(ui::ItemText(dialog, IDC_PRE_STR));
  chosen.afterStr = FromWide(ui::ItemText(dialog, IDC_AFTER_STR));
  chosen.timerStr = FromWide(ui::ItemText(dialog, IDC_TIMER_STR));
  chosen.enablePre = ui::IsItemChecked(dialog, IDC_ENABLE_PRE) ? 1 : 0;
  chosen.enableAfter = ui::IsItemChecked(dialog, IDC_ENABLE_AFTER) ? 1 : 0;
  chosen.interval = *ParseInterval(FromWide(ui::ItemText(dialog, IDC_INTERVAL)));
  chosen.pasteAbove = *ParsePasteAbove(FromWide(ui::ItemText(dialog, IDC_PASTE_ABOVE)));
  chosen.red = GetRValue(chosenColour_);
  chosen.green = GetGValue(chosenColour_);
  chosen.blue = GetBValue(chosenColour_);
  return chosen;
}

bool COptionDlg::SaveOptions(Options& chosen, std::wstring& error, bool& fileInUse) const {
  try {
    CIniFile ini;
    // Loaded first so that the other sections (connection, links) are kept.
    ini.Load(std::filesystem::path(iniPath));
    // Win + Space stays unwritten while the file names no hotkey.
    chosen.hotKey = hotKey == keys::kDefaultHotKey && ReadOptions(ini).hotKey.empty() ? std::u16string()
                                                                                      : keys::FormatHotKey(hotKey);
    WriteOptions(ini, chosen);
    ini.Save();
    return true;
  } catch (const IniError& failure) {
    fileInUse = failure.Cause() == kInUseCause;
    if (failure.Cause() == kReadOnlyCause) {
      error = L"设置文件是只读的，无法保存设置：\n" + failure.File().wstring();
    } else if (fileInUse) {
      error = L"设置文件正被其他程序使用，无法保存设置：\n" + failure.File().wstring();
    } else {
      error = L"无法保存设置文件：\n" + ToWide(failure.Message());
    }
    return false;
  }
}

}  // namespace kwo::settings
