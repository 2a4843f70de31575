#pragma once
// The options dialog "参数设置": prefix and suffix sequences, timed sending,
// the background colour and the hotkey. The caller gives it a copy of the
// options in force, runs it and, on IDOK, takes `options` back; OK also
// writes kwo.ini.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "keys/HotKey.h"
#include "settings/HotKeyBox.h"
#include "settings/Options.h"

#include "ui/Dialog.h"
#include "ui/Handles.h"

namespace kwo::settings {

class COptionDlg : public kwo::ui::CDialog {
 public:
  COptionDlg();

  // In: the options in force. Out: the chosen ones, after OK only (its
  // `hotKey` as written to the file).
  Options options;
  // Timed sending, for this run only: never stored.
  int32_t timerOn = 0;
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
  void OnCancel() override;

 private:
  // False, with the user told, while the interval box holds no minutes in range.
  bool IntervalAccepted();
  bool PasteAboveAccepted();
  // True when the sequences are sound, or the user saves them in spite of the warning.
  bool SequencesAccepted();
  void OnSwatchClicked();
  // Asked before the program ends: nonzero once a value differs from the one shown at the start.
  INT_PTR OnQueryUnsaved(WPARAM, LPARAM);
  // Every value the user can change, as one text to compare.
  std::wstring ControlValues() const;
  INT_PTR OnDrawItem(WPARAM wParam, LPARAM lParam);
  // The options as the controls show them.
  Options ChosenOptions() const;
  // Writes `chosen` into the settings file, its hotkey in the form the file
  // keeps; false with `error` set, and `fileInUse` when another program
  // holds the file open.
  bool SaveOptions(Options& chosen, std::wstring& error, bool& fileInUse) const;

  // Reads the hotkey box and registers a changed combination; false (the
  // user has been told) keeps the dialog open.
  bool TakeHotKey();

  COLORREF chosenColour_ = RGB(0, 0, 0);  // the swatch
  kwo::keys::HotKey hotKeyAtStart_;        // in force when the dialog opened
  std::wstring valuesAtStart_;             // ControlValues() once the dialog was filled
  kwo::ui::ColourBrush swatchBrush_;
  CHotKeyBox hotKeyBox_;
};

}  // namespace kwo::settings
