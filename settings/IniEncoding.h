#pragma once
// The bytes of kwo.ini and its lines. A file is code page 936 unless it starts
// with a UTF-8 byte-order mark; lines end with CR LF, bare LF is read too.
#include <string>
#include <string_view>
#include <vector>

namespace kwo::settings {

// The lines of a file, line ends removed; a last line without a line end
// counts, an empty piece after the last line end does not.
std::vector<std::u16string> DecodeIniLines(std::string_view bytes);
// Each line followed by CR LF, in code page 936 when every character fits,
// otherwise as UTF-8 after a byte-order mark, so that nothing is lost.
std::string EncodeIniLines(const std::vector<std::u16string>& lines);

}  // namespace kwo::settings
