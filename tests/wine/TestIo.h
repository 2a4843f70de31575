#pragma once
// Output and files of the test programs: UTF-8 on stdout and stderr, UTF-8
// text files read exactly (no newline translation).
#include <string>
#include <vector>

namespace kwo::wine_test {

void WriteOut(const std::wstring& text);
void WriteErr(const std::wstring& text);
// The program's command line split into arguments, the program name first.
std::vector<std::wstring> CommandLineArgs();
// Reads the whole file as UTF-8 (a leading BOM is dropped); reports on stderr and returns false on failure.
bool ReadUtf8File(const std::wstring& path, std::wstring& text);
// CR, LF, tab, backslash, quote and other controls as C escapes, so mismatches are visible.
std::wstring Escaped(const std::wstring& text);

}  // namespace kwo::wine_test
