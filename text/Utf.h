#pragma once
// Conversions between UTF-8 and UTF-16, the two encodings the program keeps
// text in: UTF-16 in memory and at the Win32 API, UTF-8 in SQLite.
#include <string>
#include <string_view>
#include <vector>

namespace kwo::text {

// Malformed UTF-8 becomes U+FFFD, one per bad sequence.
std::u16string Utf8ToUtf16(std::string_view utf8);
// True when the bytes are well-formed UTF-8 throughout (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// The code points of a text, each as the one or two code units that hold it
// (a surrogate without its partner counts as one of its own).
std::vector<std::u16string_view> CodePointUnits(std::u16string_view s);
size_t CodePointCount(std::u16string_view s);

// ASCII literal or narrow text of the basic character set as UTF-16.
std::u16string Ascii(std::string_view ascii);

#ifdef _WIN32
// wchar_t is a UTF-16 code unit on Windows: these copy without conversion.
inline std::wstring ToWide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string FromWide(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }
inline const wchar_t* WidePtr(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
#endif

}  // namespace kwo::text
