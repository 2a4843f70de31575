// Arbitrary UTF-8 text as the connection string of kwo.ini: the parser either
// refuses it with a message or gives settings of one engine. SQLite settings
// name a provider and a file, and written back with every value quoted parse
// to the same settings again. ODBC settings give the string for the driver
// manager, which read once more as a connection string is handed on as it
// stands.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzText.h"
#include "store/ConnectionString.h"
#include "text/Utf.h"

using kwo::store::ConnectionSettings;
using kwo::store::ParseConnectionString;

using kwo::fuzz::Check;

namespace {

std::u16string Quoted(const std::u16string& value) {
  std::u16string out = u"\"";
  for (char16_t c : value) {
    if (c == u'"') out += u'"';
    out += c;
  }
  return out + u"\"";
}

std::u16string Written(const ConnectionSettings& s) {
  return u"Provider=" + Quoted(s.provider) + u";Data Source=" + Quoted(s.dataSource) +
         u";Busy Timeout=" + kwo::text::Ascii(std::to_string(s.busyTimeoutMs));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = kwo::fuzz::Utf8Text(data, size);
  ConnectionSettings first;
  std::u16string message;
  if (!ParseConnectionString(text, first, message)) {
    Check(!message.empty());
    return 0;
  }
  if (first.engine == kwo::store::Engine::Odbc) {
    Check(!first.odbcString.empty() && first.odbcString.back() == u';' && first.dataSource.empty());
    const std::u16string odbc =
        first.driverChoices.empty() ? first.odbcString : u"Driver={" + first.driverChoices.front() + u"};" + first.odbcString;
    ConnectionSettings handed;
    std::u16string refused;
    Check(ParseConnectionString(odbc, handed, refused));
    Check(handed.engine == kwo::store::Engine::Odbc && handed.driverChoices.empty() && handed.odbcString == odbc);
    return 0;
  }
  Check(!first.provider.empty() && !first.dataSource.empty() && first.busyTimeoutMs >= 0);

  ConnectionSettings second;
  std::u16string again;
  Check(ParseConnectionString(Written(first), second, again));
  Check(second.provider == first.provider && second.dataSource == first.dataSource &&
        second.busyTimeoutMs == first.busyTimeoutMs);
  return 0;
}
