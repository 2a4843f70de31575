#include "text/CodePage.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "text/Utf.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace kwo::text {

namespace {
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Code page 936 holds no character outside the basic plane.
bool HasSurrogate(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), [](char16_t u) { return u >= 0xD800 && u <= 0xDFFF; });
}
}  // namespace

#ifdef _WIN32

namespace {
constexpr unsigned kCodePage = 936;
}  // namespace

namespace {
// The characters of `bytes` appended to `out`; false when they are not valid code page 936.
// One call of the system per piece: no byte becomes more than one code unit,
// so room for as many units as bytes is always enough.
bool AppendDecoded(std::string_view bytes, std::u16string& out) {
  const int n = static_cast<int>(bytes.size());
  const size_t at = out.size();
  out.resize(at + bytes.size());
  const int got =
      MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes.data(), n, reinterpret_cast<wchar_t*>(&out[at]), n);
  out.resize(at + static_cast<size_t>(got > 0 ? got : 0));
  return got > 0;
}
}  // namespace

bool DecodeCp936(std::string_view bytes, std::u16string& out) {
  out.clear();
  if (bytes.empty() || AppendDecoded(bytes, out)) return true;
  // Character by character: a byte that begins no character becomes one
  // replacement character, and the next byte is read on its own (the system's
  // conversion would take it as the second half of the bad one).
  out.clear();
  for (size_t i = 0; i < bytes.size();) {
    if (i + 1 < bytes.size() && AppendDecoded(bytes.substr(i, 2), out)) {
      i += 2;
    } else {
      if (!AppendDecoded(bytes.substr(i, 1), out)) out.push_back(0xFFFD);
      ++i;
    }
  }
  return false;
}

namespace {
bool AppendEncoded(std::u16string_view text, std::string& out) {
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  const int n = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, src, n, nullptr, 0, "?", &usedDefault);
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(needed));
  WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, src, n, out.data() + at, needed, "?", &usedDefault);
  return !usedDefault;
}
}  // namespace

#else

namespace {
// One converter per direction and thread: iconv descriptors carry state.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

iconv_t Decoder() {
  thread_local Converter c("UTF-16LE", "CP936");
  return c.get();
}
iconv_t Encoder() {
  thread_local Converter c("CP936", "UTF-16LE");
  return c.get();
}
}  // namespace

bool DecodeCp936(std::string_view bytes, std::u16string& out) {
  out.clear();
  iconv_t cd = Decoder();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  bool valid = true;
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char16_t buffer[512];
  while (inLeft > 0) {
    char* outPtr = reinterpret_cast<char*>(buffer);
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, (sizeof buffer - outLeft) / sizeof(char16_t));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // Invalid or truncated sequence: one replacement character, skip one byte.
      valid = false;
      out.push_back(0xFFFD);
      ++in;
      --inLeft;
    }
  }
  return valid;
}

namespace {
// The code page 936 form of each code unit met so far on this thread: the
// converter is asked once per character instead of once per piece of text.
class EncodedUnits {
 public:
  // Appends the form of `unit`, or "?" (as Windows writes it) when the code
  // page has none; false then.
  bool Append(char16_t unit, std::string& out) {
    uint16_t& form = forms_[unit];
    if (form == kUnknown) form = Convert(unit);
    if (form == kNone) {
      out.push_back('?');
      return false;
    }
    if (form >= 0x100) out.push_back(static_cast<char>(form >> 8));
    out.push_back(static_cast<char>(form & 0xFF));
    return true;
  }

 private:
  // No double-byte form starts with 0xFF: these two values are free.
  static constexpr uint16_t kUnknown = 0xFFFF;
  static constexpr uint16_t kNone = 0xFFFE;

  static uint16_t Convert(char16_t unit) {
    iconv_t cd = Encoder();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(&unit);
    size_t inLeft = sizeof unit;
    unsigned char bytes[8];
    char* outPtr = reinterpret_cast<char*>(bytes);
    size_t outLeft = sizeof bytes;
    // A surrogate alone is no character: the converter refuses it.
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return kNone;
    switch (sizeof bytes - outLeft) {
      case 1: return bytes[0];
      case 2: return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
      default: return kNone;
    }
  }

  std::vector<uint16_t> forms_ = std::vector<uint16_t>(0x10000, kUnknown);
};

bool AppendEncoded(std::u16string_view text, std::string& out) {
  thread_local EncodedUnits units;
  bool lossless = true;
  for (char16_t unit : text) lossless = units.Append(unit, out) && lossless;
  return lossless;
}
}  // namespace

#endif

// ASCII is the same bytes in code page 936, and most of the text written is
// ASCII: runs of it are copied, and only the text between them goes through
// the converter. An ASCII gap shorter than kAsciiRun stays with the text
// around it, so that mostly Chinese text is not cut into many small calls.
bool EncodeCp936(std::u16string_view text, std::string& out) {
  constexpr size_t kAsciiRun = 16;
  out.clear();
  out.reserve(text.size());
  bool lossless = true;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && text[i] < 0x80) out.push_back(static_cast<char>(text[i++]));
    size_t end = i;  // one past the last non-ASCII character of the piece
    for (size_t j = i; j < n && j - end < kAsciiRun; ++j) {
      if (text[j] >= 0x80) end = j + 1;
    }
    if (end > i) lossless = AppendEncoded(text.substr(i, end - i), out) && lossless;
    i = end;
  }
  return lossless;
}

bool FitsCp936(std::u16string_view text) {
  std::string bytes;
  return !HasSurrogate(text) && EncodeCp936(text, bytes);
}

std::string EncodeCp936OrUtf8(std::u16string_view text, bool* utf8) {
  std::string bytes;
  const bool fits = !HasSurrogate(text) && EncodeCp936(text, bytes);
  if (!fits) bytes = std::string(kUtf8Mark) + Utf16ToUtf8(text);
  if (utf8) *utf8 = !fits;
  return bytes;
}

bool TakeUtf8Mark(std::string_view& bytes) {
  if (bytes.substr(0, kUtf8Mark.size()) != kUtf8Mark) return false;
  bytes.remove_prefix(kUtf8Mark.size());
  return true;
}

std::u16string DecodeCp936OrUtf8(std::string_view bytes, bool utf8, bool* lossless) {
  std::u16string text;
  bool ok = true;
  if (utf8) {
    ok = IsValidUtf8(bytes);
    text = Utf8ToUtf16(bytes);
  } else {
    ok = DecodeCp936(bytes, text);
  }
  if (lossless) *lossless = ok;
  return text;
}

bool LooksLikeUtf8(std::string_view bytes) {
  const bool ascii =
      std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return !ascii && IsValidUtf8(bytes);
}

}  // namespace kwo::text
