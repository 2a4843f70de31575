#pragma once
// The user's options as kept in kwo.ini: prefix, suffix and timed sequences,
// the interval and the background colour.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/IniFile.h"

namespace kwo::settings {

struct Options {
  int32_t enablePre = 0;    // 1: type preStr before each content
  int32_t enableAfter = 0;  // 1: type afterStr after each content
  int32_t interval = 0;     // minutes between timed sendings
  std::u16string preStr;
  std::u16string afterStr;
  std::u16string timerStr;
  uint8_t red = 0, green = 0, blue = 0;  // background colour (low 8 bits of the stored values)
  // The activation hotkey as written (empty: Win + Space); keys/HotKey.h reads it.
  std::u16string hotKey;
  // Runs of plain text in a content longer than this many characters are
  // pasted instead of typed; 0 (missing, or not a whole number): never.
  int32_t pasteAbove = 0;
  // PasteAbove as kwo.ini writes it when it is not a whole number from 0 to
  // kMaxPasteAbove ("1e3", "20.5", "-5"): the user is told once, 0 is used.
  std::u16string pasteAboveUnread;
};

// The interval box takes whole minutes from 0 to a day.
constexpr int32_t kMinInterval = 0;
constexpr int32_t kMaxInterval = 1440;
// The minutes a user typed (spaces around allowed), or nothing when the text
// is not a whole number from kMinInterval to kMaxInterval.
std::optional<int32_t> ParseInterval(std::u16string_view text);

// The paste box takes whole characters up to a million; empty means 0 (never).
constexpr int32_t kMaxPasteAbove = 1000000;
std::optional<int32_t> ParsePasteAbove(std::u16string_view text);

// Section `Options` and `BackGround` of a loaded file.
Options ReadOptions(const CIniFile& ini);
// Sets every option in the tree (the caller saves).
void WriteOptions(CIniFile& ini, const Options& options);
// sys/connectionString; empty when missing.
std::u16string ReadConnectionString(const CIniFile& ini);

}  // namespace kwo::settings
