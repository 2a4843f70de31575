// The ODBC calls of the engine, for Windows: odbc32.dll is loaded from the
// system folder at the first call instead of being imported. A program on
// SQLite then never loads the driver manager (on Wine it brings unixODBC and
// a dozen Unix libraries, a few MB at idle), and a file odbc32.dll beside
// kwo.exe is never taken for it. Each function looks its entry up once;
// without odbc32.dll every call fails as a missing driver manager would.
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include "base/SystemLibrary.h"

namespace {

template <class Fn>
Fn OdbcFunction(const char* name) {
  return kwo::SystemFunction<Fn>(L"odbc32.dll", name);
}

}  // namespace

// NAME(PARAMETERS) calls the function of the same name in odbc32.dll with ARGUMENTS.
#define KWO_ODBC_FORWARD(name, parameters, arguments)                                      \
  SQLRETURN SQL_API name parameters {                                                      \
    static const auto entry = OdbcFunction<SQLRETURN(SQL_API*) parameters>(#name);         \
    return entry ? entry arguments : SQL_ERROR;                                            \
  }

extern "C" {

// Without the driver manager no handle is made: the engine sees the allocation fail.
SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  static const auto entry = OdbcFunction<SQLRETURN(SQL_API*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>("SQLAllocHandle");
  if (entry) return entry(type, input, output);
  if (output) *output = SQL_NULL_HANDLE;
  return SQL_ERROR;
}

KWO_ODBC_FORWARD(SQLBindCol,
                 (SQLHSTMT s, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER value, SQLLEN length, SQLLEN* indicator),
                 (s, column, type, value, length, indicator))
KWO_ODBC_FORWARD(SQLBindParameter,
                 (SQLHSTMT s, SQLUSMALLINT number, SQLSMALLINT io, SQLSMALLINT cType, SQLSMALLINT sqlType,
                  SQLULEN size, SQLSMALLINT digits, SQLPOINTER value, SQLLEN length, SQLLEN* indicator),
                 (s, number, io, cType, sqlType, size, digits, value, length, indicator))
KWO_ODBC_FORWARD(SQLCancel, (SQLHSTMT s), (s))
KWO_ODBC_FORWARD(SQLColAttributeW,
                 (SQLHSTMT s, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT textMax,
                  SQLSMALLINT* textLength, SQLLEN* number),
                 (s, column, field, text, textMax, textLength, number))
KWO_ODBC_FORWARD(SQLColumnsW,
                 (SQLHSTMT s, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                  SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength, SQLWCHAR* column,
                  SQLSMALLINT columnLength),
                 (s, catalog, catalogLength, schema, schemaLength, table, tableLength, column, columnLength))
KWO_ODBC_FORWARD(SQLDescribeColW,
                 (SQLHSTMT s, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT nameMax, SQLSMALLINT* nameLength,
                  SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable),
                 (s, column, name, nameMax, nameLength, type, size, digits, nullable))
KWO_ODBC_FORWARD(SQLDisconnect, (SQLHDBC c), (c))
KWO_ODBC_FORWARD(SQLDriverConnectW,
                 (SQLHDBC c, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR* out, SQLSMALLINT outMax,
                  SQLSMALLINT* outLength, SQLUSMALLINT completion),
                 (c, window, in, inLength, out, outMax, outLength, completion))
KWO_ODBC_FORWARD(SQLDriversW,
                 (SQLHENV e, SQLUSMALLINT direction, SQLWCHAR* name, SQLSMALLINT nameMax, SQLSMALLINT* nameLength,
                  SQLWCHAR* attributes, SQLSMALLINT attributesMax, SQLSMALLINT* attributesLength),
                 (e, direction, name, nameMax, nameLength, attributes, attributesMax, attributesLength))
KWO_ODBC_FORWARD(SQLEndTran, (SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT completion), (type, h, completion))
KWO_ODBC_FORWARD(SQLExecDirectW, (SQLHSTMT s, SQLWCHAR* text, SQLINTEGER length), (s, text, length))
KWO_ODBC_FORWARD(SQLExecute, (SQLHSTMT s), (s))
KWO_ODBC_FORWARD(SQLFetch, (SQLHSTMT s), (s))
KWO_ODBC_FORWARD(SQLFreeHandle, (SQLSMALLINT type, SQLHANDLE h), (type, h))
KWO_ODBC_FORWARD(SQLFreeStmt, (SQLHSTMT s, SQLUSMALLINT option), (s, option))
KWO_ODBC_FORWARD(SQLGetConnectAttrW,
                 (SQLHDBC c, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER valueMax, SQLINTEGER* valueLength),
                 (c, attribute, value, valueMax, valueLength))
KWO_ODBC_FORWARD(SQLGetData,
                 (SQLHSTMT s, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER value, SQLLEN length, SQLLEN* indicator),
                 (s, column, type, value, length, indicator))
KWO_ODBC_FORWARD(SQLGetDiagRecW,
                 (SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT record, SQLWCHAR* state, SQLINTEGER* native,
                  SQLWCHAR* message, SQLSMALLINT messageMax, SQLSMALLINT* messageLength),
                 (type, h, record, state, native, message, messageMax, messageLength))
KWO_ODBC_FORWARD(SQLGetInfoW,
                 (SQLHDBC c, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT valueMax, SQLSMALLINT* valueLength),
                 (c, info, value, valueMax, valueLength))
KWO_ODBC_FORWARD(SQLNumResultCols, (SQLHSTMT s, SQLSMALLINT* count), (s, count))
KWO_ODBC_FORWARD(SQLPrepareW, (SQLHSTMT s, SQLWCHAR* text, SQLINTEGER length), (s, text, length))
KWO_ODBC_FORWARD(SQLPrimaryKeysW,
                 (SQLHSTMT s, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                  SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength),
                 (s, catalog, catalogLength, schema, schemaLength, table, tableLength))
KWO_ODBC_FORWARD(SQLRowCount, (SQLHSTMT s, SQLLEN* count), (s, count))
KWO_ODBC_FORWARD(SQLSetConnectAttrW, (SQLHDBC c, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length),
                 (c, attribute, value, length))
KWO_ODBC_FORWARD(SQLSetEnvAttr, (SQLHENV e, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length),
                 (e, attribute, value, length))
KWO_ODBC_FORWARD(SQLSetStmtAttrW, (SQLHSTMT s, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length),
                 (s, attribute, value, length))
KWO_ODBC_FORWARD(SQLStatisticsW,
                 (SQLHSTMT s, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                  SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                  SQLUSMALLINT accuracy),
                 (s, catalog, catalogLength, schema, schemaLength, table, tableLength, unique, accuracy))

}  // extern "C"
