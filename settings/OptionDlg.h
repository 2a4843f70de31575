#pragma once
// The options dialog "参数设置": prefix and suffix sequences, timed sending
// and the background colour. The caller fills the public fields, runs the
// dialog and reads them back; OK also writes kwo.ini.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "keys/HotKey.h"
#include "settings/HotKeyBox.h"

#include "ui/Dialog.h"
#include "ui/Handles.h"

namespace kwo::settings {

class COptionDlg : public kwo::ui::CDialog {
 public:
  COptionDlg();

  int32_t enablePre = 0;
  int32_t enableAfter = 0;
  int32_t timerOn = 0;
  int32_t interval = 0;
  std::wstring preStr;
  std::wstring afterStr;
  std::wstring timerStr;
  // In: the colour in force. Out: the chosen colour, after OK only.
  COLORREF backgroundColour = RGB(0, 0, 0);
  COLORREF chosenColour = RGB(0, 0, 0);
  // The activation hotkey in force; after OK the one chosen.
  kwo::keys::HotKey hotKey;
  // Called by OK before anything is written, when the hotkey was changed:
  // registers the new combination, false when another program holds it.
  std::function<bool(const kwo::keys::HotKey&)> applyHotKey;
  // The settings file OK writes.
  std::wstring iniPath = L"kwo.ini";
  // After OK: the file could not be written (the user has been told). While
  // another program holds it open, OK keeps the dialog open instead.
  bool saveFailed = false;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  // False, with the user told, while the interval box holds no minutes in range.
  bool IntervalAccepted();
  // True when the sequences are sound, or the user saves them in spite of the warning.
  bool SequencesAccepted();
  void OnSwatchClicked();
  INT_PTR OnDrawItem(WPARAM wParam, LPARAM lParam);
  // Writes the options into the settings file; false with `error` set, and
  // `fileInUse` when another program holds the file open.
  bool SaveOptions(std::wstring& error, bool& fileInUse) const;

  // Reads the hotkey box and registers a changed combination; false (the
  // user has been told) keeps the dialog open.
  bool TakeHotKey();

  kwo::ui::ColourBrush swatchBrush_;
  CHotKeyBox hotKeyBox_;
};

}  // namespace kwo::settings
