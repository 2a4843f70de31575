#include "store/OdbcDiagnostics.h"

#include <string_view>

#include "store/OdbcEngine.h"
#include "text/Chars.h"

namespace kwo::store {

DbFailure OdbcFailure(const std::u16string& state) {
  if (state.compare(0, 2, u"08") == 0 || state == u"HYT00" || state == u"HYT01" || state == u"57P01" ||
      state == u"57P02" || state == u"57P03") {
    return DbFailure::Unreachable;  // no connection, a timeout, the server shutting down or starting
  }
  if (state == u"40001" || state == u"40P01" || state == u"55P03") return DbFailure::Locked;  // a conflict or a deadlock
  if (state == u"25006" || state == u"42501") return DbFailure::WriteDenied;
  if (state == u"53100") return DbFailure::DiskFull;
  return DbFailure::Other;
}

DbFailure LoginFailure(const DbError& error) {
  const std::u16string& state = error.state;
  if (state.compare(0, 2, u"28") == 0 || error.code == 18456) return DbFailure::LoginRefused;
  if (state == u"3D000" || error.code == 4060) return DbFailure::DatabaseMissing;
  if (state.compare(0, 2, u"08") != 0) return error.failure;
  const std::u16string said = text::Upper(error.description);
  const auto has = [&said](std::u16string_view part) { return said.find(part) != std::u16string::npos; };
  if (has(u"DATABASE \"") && has(u"DOES NOT EXIST")) return DbFailure::DatabaseMissing;
  if (has(u"数据库 \"") && has(u"不存在")) return DbFailure::DatabaseMissing;
  if (has(u"AUTHENTICATION FAILED") || has(u"认证失败") || has(u"PG_HBA.CONF") ||
      (has(u"ROLE \"") && has(u"DOES NOT EXIST")) || (has(u"角色 \"") && has(u"不存在")) ||
      has(u"PASSWORD") || has(u"口令")) {
    return DbFailure::LoginRefused;
  }
  return error.failure;
}

namespace odbc {
namespace {

constexpr char16_t kSource[] = u"ODBC";

}  // namespace

DbError Diagnose(SQLSMALLINT type, SQLHANDLE handle) {
  DbError error;
  error.source = kSource;
  for (SQLSMALLINT record = 1; handle != SQL_NULL_HANDLE && record <= 4; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRecW(type, handle, record, state, &native, message, 1024, &length))) break;
    if (record == 1) {
      error.state = std::u16string(reinterpret_cast<const char16_t*>(state));
      error.code = static_cast<uint32_t>(native);
    }
    if (!error.description.empty()) error.description += u"\n";
    error.description += reinterpret_cast<const char16_t*>(message);
  }
  error.codeMeaning = u"SQLSTATE " + error.state;
  error.failure = OdbcFailure(error.state);
  if (error.description.empty()) error.description = u"ODBC 调用失败";
  return error;
}

DbError PlainError(const std::u16string& description, const std::u16string& state) {
  DbError error;
  error.code = 0x80004005;
  error.source = kSource;
  error.state = state;
  error.codeMeaning = u"SQLSTATE " + state;
  error.failure = OdbcFailure(state);
  error.description = description;
  return error;
}

bool IsLinkFailure(const DbError& error) {
  return error.state.compare(0, 2, u"08") == 0 || error.state == u"HYT00" || error.state == u"HYT01" ||
         error.state == u"57P01";
}

bool MayBeLinkFailure(const DbError& error) { return error.state.empty() || error.state == u"HY000"; }

}  // namespace odbc
}  // namespace kwo::store
