#pragma once
// Character rules that must behave the same in the native and the Windows
// build: white space, upper-casing and the decimal numbers of settings values
// and key sequences.
#include <cstdint>
#include <string>
#include <string_view>

namespace kwo::text {

// White space as the C library's iswspace sees it (ASCII and the Unicode spaces, U+3000 included).
bool IsSpace(char16_t unit);
// Upper case of one UTF-16 code unit: Latin, Latin-1, Greek, Cyrillic and
// full-width Latin letters; everything else is returned unchanged.
char16_t UpperUnit(char16_t unit);
char16_t LowerUnit(char16_t unit);
std::u16string Upper(std::u16string_view s);
// For finding text without regard to case: lower case of one code unit in
// every script that has case and fits one unit (Latin with its extensions,
// Greek, Cyrillic, Armenian, full-width Latin); final sigma folds with sigma.
char16_t FoldUnit(char16_t unit);
std::u16string Fold(std::u16string_view s);

// Case-insensitive comparison (<0, 0, >0), code unit by code unit after lower-casing.
int CompareNoCase(std::u16string_view a, std::u16string_view b);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);

std::u16string_view TrimSpace(std::u16string_view s);
std::u16string_view TrimTrailingSpace(std::u16string_view s);

// Reads a decimal integer the way wcstol(s, &end, 10) does: leading white
// space, an optional sign, digits up to the first non-digit; no digits give 0;
// values beyond the 32-bit range are clamped to it. *used receives the number
// of code units read (0 when there were no digits).
int32_t ParseDecimal(std::u16string_view s, size_t* used = nullptr);

std::u16string FormatDecimal(int64_t value);

}  // namespace kwo::text
