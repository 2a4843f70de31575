#pragma once
// Code page 936 (GBK), the ANSI code page of a Simplified Chinese Windows,
// in which kwo.ini and the exchange files are written. The Windows build uses
// the system's code-page tables, the native build iconv's "CP936": both give
// the same bytes for every character the code page holds.
#include <string>
#include <string_view>

namespace kwo::text {

// Bytes that are not valid code page 936 become U+FFFD; returns false then.
bool DecodeCp936(std::string_view bytes, std::u16string& out);
// A character that code page 936 cannot hold becomes "?"; returns false then.
bool EncodeCp936(std::u16string_view text, std::string& out);
// True when every character of the text has a form in code page 936.
bool FitsCp936(std::u16string_view text);

// The files the program writes itself (kwo.ini, exchange files) are code page
// 936 when every character fits it, and UTF-8 after a byte-order mark
// otherwise, so that no character is lost. `utf8` tells which was written.
std::string EncodeCp936OrUtf8(std::u16string_view text, bool* utf8 = nullptr);
// True, with the mark removed from `bytes`, when they begin with the UTF-8 byte-order mark.
bool TakeUtf8Mark(std::string_view& bytes);
// Bytes of such a file, the mark already taken, as UTF-8 or as code page 936.
// `lossless` is set false when some bytes had no form and became U+FFFD.
std::u16string DecodeCp936OrUtf8(std::string_view bytes, bool utf8, bool* lossless = nullptr);
// For a file written by another program, without the mark: true when the
// bytes are UTF-8 throughout and hold some non-ASCII text. Text in code page
// 936 practically never passes, so such bytes are read as UTF-8.
bool LooksLikeUtf8(std::string_view bytes);

}  // namespace kwo::text
