#pragma once
// The options dialog "参数设置": prefix and suffix sequences, timed sending
// and the background colour. The caller fills the public fields, runs the
// dialog and reads them back; OK also writes kwo.ini.
#include <windows.h>

#include <cstdint>
#include <string>

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
  // The settings file OK writes.
  std::wstring iniPath = L"kwo.ini";
  // After OK: the file could not be written (the user has been told).
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
  // Writes the options into the settings file; false with `error` set.
  bool SaveOptions(std::wstring& error) const;

  kwo::ui::ColourBrush swatchBrush_;
};

}  // namespace kwo::settings
