#include "store/ConnectionString.h"

#include <filesystem>

#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

constexpr char16_t kAccessDriver[] = u"Microsoft Access Driver (*.mdb, *.accdb)";
constexpr char16_t kMask[] = u"******";
// Shorter values are too likely to be ordinary words of a message.
constexpr size_t kShortestHiddenSecret = 3;

struct Pair {
  std::u16string key;
  std::u16string value;
  size_t begin = 0;  // the pair's text in the string, without the ";"
  size_t end = 0;
};

// Reads a quoted ("..." with "" inside) or braced ({...} with }} inside)
// value from text[j], the opening character; j ends after the closing one.
bool ReadEnclosedValue(std::u16string_view text, size_t& j, std::u16string& value) {
  const char16_t close = text[j] == u'"' ? u'"' : u'}';
  ++j;
  while (j < text.size()) {
    if (text[j] == close) {
      if (j + 1 < text.size() && text[j + 1] == close) {
        value += close;
        j += 2;
        continue;
      }
      ++j;
      return true;
    }
    value += text[j++];
  }
  return false;
}

// Splits "k=v;k=v" into pairs. A malformed string gives false and a message
// that names keys only, never a value (it might be a password); `lenient`
// reads on as far as it can instead.
bool SplitPairs(std::u16string_view text, std::vector<Pair>& pairs, std::u16string& message, bool lenient) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t equals = text.find(u'=', i);
    const size_t semicolon = text.find(u';', i);
    if (semicolon < equals || equals == std::u16string_view::npos) {  // a part without "="
      const size_t stop = semicolon == std::u16string_view::npos ? text.size() : semicolon;
      if (!lenient && !text::TrimSpace(text.substr(i, stop - i)).empty()) {
        message = u"连接字符串的格式不对：第 " + text::FormatDecimal(static_cast<int64_t>(pairs.size()) + 1) +
                  u" 段不是“键=值”。";
        return false;
      }
      i = stop + 1;
      continue;
    }
    Pair pair;
    pair.begin = i;
    while (pair.begin < equals && text::IsSpace(text[pair.begin])) ++pair.begin;
    pair.key = std::u16string(text::TrimSpace(text.substr(i, equals - i)));
    if (pair.key.empty() && !lenient) {
      message = u"连接字符串的格式不对：有一个值没有键。";
      return false;
    }
    size_t j = equals + 1;
    while (j < text.size() && text::IsSpace(text[j])) ++j;
    if (j < text.size() && (text[j] == u'"' || text[j] == u'{')) {
      if (!ReadEnclosedValue(text, j, pair.value) && !lenient) {
        message = u"连接字符串的格式不对：" + pair.key + u" 的值缺少结尾的引号或括号。";
        return false;
      }
      pair.end = j;
      while (j < text.size() && text::IsSpace(text[j])) ++j;
      if (j < text.size() && text[j] != u';') {
        if (!lenient) {
          message = u"连接字符串的格式不对：" + pair.key + u" 的值在引号或括号之后还有文字。";
          return false;
        }
        const size_t end = text.find(u';', j);
        j = end == std::u16string_view::npos ? text.size() : end;
        pair.end = j;
      }
      i = j + 1;
    } else {
      const size_t end = text.find(u';', j);
      const size_t stop = end == std::u16string_view::npos ? text.size() : end;
      pair.value = std::u16string(text::TrimSpace(text.substr(j, stop - j)));
      pair.end = j + pair.value.size();
      i = stop + 1;
    }
    pairs.push_back(std::move(pair));
  }
  return true;
}

bool EndsWithNoCase(std::u16string_view s, std::u16string_view tail) {
  return s.size() >= tail.size() && text::EqualNoCase(s.substr(s.size() - tail.size()), tail);
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view head) {
  return s.size() >= head.size() && text::EqualNoCase(s.substr(0, head.size()), head);
}

// Pwd, Password, Jet OLEDB:Database Password, Jet OLEDB:New Database
// Password and any other key whose name holds "password" or "pwd" in any
// case, with or without spaces ("Pass Word", "ssl_PWD").
bool IsPasswordKey(std::u16string_view key) {
  std::u16string squeezed;
  for (char16_t c : key) {
    if (!text::IsSpace(c)) squeezed += text::UpperUnit(c);
  }
  return squeezed.find(u"PASSWORD") != std::u16string::npos || squeezed.find(u"PWD") != std::u16string::npos;
}

// key=value for an ODBC string; a value that could be misread goes in braces.
std::u16string OdbcPair(std::u16string_view key, std::u16string_view value) {
  bool plain = !value.empty() && !text::IsSpace(value.front()) && !text::IsSpace(value.back());
  for (char16_t c : value) plain = plain && c != u';' && c != u'{' && c != u'}' && c != u'=';
  std::u16string pair = std::u16string(key) + u"=";
  if (plain) return pair + std::u16string(value) + u";";
  pair += u'{';
  for (char16_t c : value) {
    pair += c;
    if (c == u'}') pair += u'}';
  }
  return pair + u"};";
}

std::u16string AbsolutePath(const std::u16string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ignored);
  return absolute.empty() ? path : absolute.u16string();
}

bool IsTrue(std::u16string_view value) {
  return text::EqualNoCase(value, u"SSPI") || text::EqualNoCase(value, u"true") || text::EqualNoCase(value, u"yes");
}

bool IsAccessProvider(std::u16string_view provider) {
  if (StartsWithNoCase(provider, u"Microsoft.Jet.OLEDB.")) return true;
  if (!StartsWithNoCase(provider, u"Microsoft.ACE.OLEDB.")) return false;
  size_t used = 0;
  return text::ParseDecimal(provider.substr(20), &used) >= 12 && used > 0;
}

bool IsSqlServerProvider(std::u16string_view provider) {
  const std::u16string_view name = provider.substr(0, provider.find(u'.'));
  return text::EqualNoCase(name, u"SQLOLEDB") || text::EqualNoCase(name, u"MSOLEDBSQL") ||
         text::EqualNoCase(name, u"MSOLEDBSQL19") || StartsWithNoCase(name, u"SQLNCLI");
}

std::u16string UnknownKey(const Pair& pair) {
  return u"连接字符串里有不认识的键“" + pair.key + u"”。";
}

bool ParseSqlite(const std::vector<Pair>& pairs, ConnectionSettings& result, std::u16string& message) {
  for (const Pair& pair : pairs) {
    if (text::EqualNoCase(pair.key, u"Provider")) continue;
    if (text::EqualNoCase(pair.key, u"Data Source")) {
      result.dataSource = pair.value;
    } else if (text::EqualNoCase(pair.key, u"Busy Timeout")) {
      size_t used = 0;
      const int32_t ms = text::ParseDecimal(pair.value, &used);
      if (used == 0 || used != pair.value.size() || ms < 0) {
        message = u"连接字符串的 Busy Timeout 应该是毫秒数：“" + pair.value + u"”。";
        return false;
      }
      result.busyTimeoutMs = ms;
    } else {
      message = UnknownKey(pair);
      return false;
    }
  }
  if (result.dataSource.empty()) {
    message = u"连接字符串没有写 Data Source（数据库文件）。";
    return false;
  }
  return true;
}

bool TranslateAccess(const std::vector<Pair>& pairs, ConnectionSettings& result, std::u16string& message) {
  std::u16string file, password;
  for (const Pair& pair : pairs) {
    if (text::EqualNoCase(pair.key, u"Provider") || text::EqualNoCase(pair.key, u"Persist Security Info") ||
        text::EqualNoCase(pair.key, u"Mode") || text::EqualNoCase(pair.key, u"User ID")) {
      continue;
    }
    if (text::EqualNoCase(pair.key, u"Data Source")) {
      file = pair.value;
    } else if (EndsWithNoCase(pair.key, u"Database Password") || text::EqualNoCase(pair.key, u"Password")) {
      if (!pair.value.empty()) password = pair.value;
    } else {
      message = UnknownKey(pair);
      return false;
    }
  }
  if (file.empty()) {
    message = u"连接字符串没有写 Data Source（Access 数据库文件）。";
    return false;
  }
  result.driverChoices = {kAccessDriver};
  result.odbcString = OdbcPair(u"Dbq", AbsolutePath(file));
  if (!password.empty()) result.odbcString += OdbcPair(u"Pwd", password);
  return true;
}

bool TranslateSqlServer(const std::vector<Pair>& pairs, ConnectionSettings& result, std::u16string& message) {
  std::u16string server, database, user, password;
  bool trusted = false;
  std::u16string extra;
  for (const Pair& pair : pairs) {
    if (text::EqualNoCase(pair.key, u"Provider") || text::EqualNoCase(pair.key, u"Persist Security Info")) continue;
    if (text::EqualNoCase(pair.key, u"Data Source") || text::EqualNoCase(pair.key, u"Server")) {
      server = pair.value;
    } else if (text::EqualNoCase(pair.key, u"Initial Catalog") || text::EqualNoCase(pair.key, u"Database")) {
      database = pair.value;
    } else if (text::EqualNoCase(pair.key, u"Integrated Security") ||
               text::EqualNoCase(pair.key, u"Trusted_Connection")) {
      trusted = IsTrue(pair.value);
    } else if (text::EqualNoCase(pair.key, u"User ID") || text::EqualNoCase(pair.key, u"Uid")) {
      user = pair.value;
    } else if (text::EqualNoCase(pair.key, u"Password") || text::EqualNoCase(pair.key, u"Pwd")) {
      password = pair.value;
    } else if (text::EqualNoCase(pair.key, u"Encrypt") || text::EqualNoCase(pair.key, u"TrustServerCertificate")) {
      extra += OdbcPair(pair.key, pair.value);
    } else {
      message = UnknownKey(pair);
      return false;
    }
  }
  if (server.empty()) {
    message = u"连接字符串没有写 Data Source（SQL Server 服务器）。";
    return false;
  }
  result.driverChoices = {u"ODBC Driver 18 for SQL Server", u"ODBC Driver 17 for SQL Server", u"SQL Server"};
  result.odbcString = OdbcPair(u"Server", server);
  if (!database.empty()) result.odbcString += OdbcPair(u"Database", database);
  if (trusted) {
    result.odbcString += u"Trusted_Connection=yes;";
  } else {
    if (!user.empty()) result.odbcString += OdbcPair(u"Uid", user);
    if (!password.empty()) result.odbcString += OdbcPair(u"Pwd", password);
  }
  result.odbcString += extra;
  return true;
}

}  // namespace

bool ParseConnectionString(std::u16string_view text, ConnectionSettings& settings, std::u16string& message) {
  std::vector<Pair> pairs;
  if (!SplitPairs(text, pairs, message, false)) return false;
  ConnectionSettings result;
  bool odbc = false;
  for (const Pair& pair : pairs) {
    if (text::EqualNoCase(pair.key, u"Provider")) result.provider = pair.value;
    odbc = odbc || text::EqualNoCase(pair.key, u"Driver") || text::EqualNoCase(pair.key, u"DSN") ||
           text::EqualNoCase(pair.key, u"FileDSN");
  }
  const std::u16string& provider = result.provider;
  if (odbc && (provider.empty() || StartsWithNoCase(provider, u"MSDASQL"))) {
    // The rest goes to the driver manager exactly as written.
    result.engine = Engine::Odbc;
    for (const Pair& pair : pairs) {
      if (text::EqualNoCase(pair.key, u"Provider")) continue;
      result.odbcString += std::u16string(text.substr(pair.begin, pair.end - pair.begin)) + u";";
    }
    settings = std::move(result);
    return true;
  }
  bool ok = false;
  if (provider.empty()) {
    message = u"连接字符串没有写 Provider（例如 Provider=SQLite）。";
  } else if (text::EqualNoCase(provider, u"SQLite")) {
    ok = ParseSqlite(pairs, result, message);
  } else if (IsAccessProvider(provider)) {
    result.engine = Engine::Odbc;
    ok = TranslateAccess(pairs, result, message);
  } else if (IsSqlServerProvider(provider)) {
    result.engine = Engine::Odbc;
    ok = TranslateSqlServer(pairs, result, message);
  } else {
    message = u"疾书精灵不支持连接字符串里的数据提供程序“" + provider +
              u"”。可以用的有：SQLite、Access（Microsoft.Jet.OLEDB.4.0、Microsoft.ACE.OLEDB.12.0 及以后）、"
              u"SQL Server（SQLOLEDB、MSOLEDBSQL、SQLNCLI），以及写明 Driver= 或 DSN= 的 ODBC 连接字符串。";
  }
  if (ok) settings = std::move(result);
  return ok;
}

std::u16string ChooseDriver(const std::vector<std::u16string>& choices,
                            const std::vector<std::u16string>& installed) {
  for (const auto& choice : choices) {
    for (const auto& name : installed) {
      if (text::EqualNoCase(choice, name)) return name;
    }
  }
  return {};
}

std::u16string DriverDownloadHint(std::u16string_view driver) {
  if (text::EqualNoCase(driver, kAccessDriver)) {
    return u"请安装微软的“Microsoft Access Database Engine 2016 Redistributable”（Access 数据库引擎），"
           u"在 https://www.microsoft.com/download 搜索下载，选与疾书精灵相同的 64 位版本。";
  }
  if (text::EqualNoCase(driver.substr(0, 12), u"ODBC Driver ") || text::EqualNoCase(driver, u"SQL Server")) {
    return u"请安装微软的“ODBC Driver 18 for SQL Server”，下载地址："
           u"https://learn.microsoft.com/sql/connect/odbc/download-odbc-driver-for-sql-server";
  }
  if (StartsWithNoCase(driver, u"PostgreSQL")) {
    return u"请安装 PostgreSQL 的 ODBC 驱动 psqlODBC，下载地址：https://www.postgresql.org/ftp/odbc/releases/";
  }
  return u"请向数据库的供应商索取这个 ODBC 驱动程序并安装。";
}

std::u16string MaskPasswords(std::u16string_view text) {
  std::vector<Pair> pairs;
  std::u16string ignored;
  SplitPairs(text, pairs, ignored, true);
  std::u16string masked;
  size_t done = 0;
  for (const Pair& pair : pairs) {
    if (!IsPasswordKey(pair.key)) continue;
    const size_t equals = text.find(u'=', pair.begin);
    masked += text.substr(done, equals + 1 - done);
    masked += kMask;
    done = pair.end;
  }
  masked += text.substr(done);
  return masked;
}

std::u16string HideSecrets(std::u16string_view message, std::u16string_view connectionString) {
  std::vector<Pair> pairs;
  std::u16string ignored;
  SplitPairs(connectionString, pairs, ignored, true);
  std::u16string hidden(message);
  const size_t maskLength = std::char_traits<char16_t>::length(kMask);
  for (const Pair& pair : pairs) {
    if (!IsPasswordKey(pair.key)) continue;
    // The value as read, and as written in braces or quotes: a driver may echo either.
    const std::u16string_view written = connectionString.substr(pair.begin, pair.end - pair.begin);
    const std::u16string raw(text::TrimSpace(written.substr(written.find(u'=') + 1)));
    for (const std::u16string& secret : {raw, pair.value}) {
      if (secret.size() < kShortestHiddenSecret) continue;
      for (size_t at = 0; (at = hidden.find(secret, at)) != std::u16string::npos; at += maskLength) {
        hidden.replace(at, secret.size(), kMask);
      }
    }
  }
  return hidden;
}

std::u16string ConnectionValue(std::u16string_view text, std::u16string_view key) {
  std::vector<Pair> pairs;
  std::u16string ignored;
  SplitPairs(text, pairs, ignored, true);
  for (const Pair& pair : pairs) {
    if (text::EqualNoCase(pair.key, key)) return pair.value;
  }
  return {};
}

std::u16string DefaultConnectionString() { return u"Provider=SQLite;Data Source=kwo.db"; }

}  // namespace kwo::store
