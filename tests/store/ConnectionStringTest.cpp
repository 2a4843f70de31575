#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDatabase.h"
#include "store/AdoDataBase.h"
#include "store/ConnectionString.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

ConnectionSettings Parsed(const std::u16string& text) {
  ConnectionSettings settings;
  std::u16string message;
  EXPECT_TRUE(ParseConnectionString(text, settings, message)) << std::string(message.begin(), message.end());
  return settings;
}

std::u16string Rejection(const std::u16string& text) {
  ConnectionSettings settings;
  std::u16string message;
  EXPECT_FALSE(ParseConnectionString(text, settings, message));
  EXPECT_FALSE(message.empty());
  return message;
}

TEST(ConnectionString, ReadsKeysWithoutRegardToCaseAndSpace) {
  const ConnectionSettings s = Parsed(u" provider = sqlite ; DATA SOURCE = data\\kwo.db ;busy timeout=250;");
  EXPECT_EQ(s.provider, u"sqlite");
  EXPECT_EQ(s.dataSource, u"data\\kwo.db");
  EXPECT_EQ(s.busyTimeoutMs, 250);
}

TEST(ConnectionString, QuotedValuesHoldSemicolonsAndQuotes) {
  const ConnectionSettings s = Parsed(u"Provider=SQLite;Data Source=\"a;b \"\"c\"\".db\"");
  EXPECT_EQ(s.dataSource, u"a;b \"c\".db");
  EXPECT_EQ(s.busyTimeoutMs, kDefaultBusyTimeoutMs);
}

TEST(ConnectionString, DefaultNamesKwoDbInTheCurrentFolder) {
  const ConnectionSettings s = Parsed(DefaultConnectionString());
  EXPECT_EQ(s.provider, u"SQLite");
  EXPECT_EQ(s.dataSource, u"kwo.db");
}

TEST(ConnectionString, RejectsMalformedOrIncompleteStrings) {
  Rejection(u"");
  Rejection(u"Data Source=kwo.db");
  Rejection(u"Provider=SQLite");
  Rejection(u"Provider=SQLite;Data Source=");
  Rejection(u"Provider=SQLite;kwo.db");
  Rejection(u"Provider=SQLite;=kwo.db");
  Rejection(u"Provider=SQLite;Data Source=\"kwo.db");
  Rejection(u"Provider=SQLite;Data Source=\"kwo\".db");
  Rejection(u"Provider=SQLite;Data Source=kwo.db;Busy Timeout=soon");
  EXPECT_NE(Rejection(u"Provider=SQLite;Data Sorce=kwo.db").find(u"Data Sorce"), std::u16string::npos);
}

// Every form the program takes, and what goes to the ODBC driver manager.
TEST(ConnectionString, TranslatesOleDbAndPassesOdbcStrings) {
  const std::u16string mdb = (std::filesystem::current_path() / "kwo.mdb").u16string();
  const std::vector<std::u16string> access{u"Microsoft Access Driver (*.mdb, *.accdb)"};
  const std::vector<std::u16string> sqlServer{u"ODBC Driver 18 for SQL Server", u"ODBC Driver 17 for SQL Server",
                                              u"SQL Server"};
  struct Case {
    std::u16string text, odbc;
    std::vector<std::u16string> drivers;
  } cases[] = {
      {u"Driver={PostgreSQL Unicode};Server=db;Pwd={a;b}", u"Driver={PostgreSQL Unicode};Server=db;Pwd={a;b};", {}},
      {u"Provider=MSDASQL;DSN=team ; Uid=x", u"DSN=team;Uid=x;", {}},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=kwo.mdb;Jet OLEDB:Database Password=secret123",
       u"Dbq=" + mdb + u";Pwd=secret123;", access},
      {u"Provider=Microsoft.ACE.OLEDB.16.0;Data Source=\"kwo.mdb\";Persist Security Info=False",
       u"Dbq=" + mdb + u";", access},
      {u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=kwo.mdb;Jet OLEDB:Database Password=\"p;w}d\"",
       u"Dbq=" + mdb + u";Pwd={p;w}}d};", access},
      {u"Provider=SQLOLEDB.1;Data Source=srv\\SQLEXPRESS;Initial Catalog=team;Integrated Security=SSPI",
       u"Server=srv\\SQLEXPRESS;Database=team;Trusted_Connection=yes;", sqlServer},
      {u"Provider=MSOLEDBSQL;Data Source=srv;Initial Catalog=team;User ID=sa;Password=s3cret",
       u"Server=srv;Database=team;Uid=sa;Pwd=s3cret;", sqlServer},
      {u"Provider=SQLNCLI11;Server=srv;Database=team;Trusted_Connection=yes;Encrypt=no",
       u"Server=srv;Database=team;Trusted_Connection=yes;Encrypt=no;", sqlServer},
  };
  for (const Case& c : cases) {
    const ConnectionSettings s = Parsed(c.text);
    EXPECT_EQ(s.engine, Engine::Odbc);
    EXPECT_EQ(text::Utf16ToUtf8(s.odbcString), text::Utf16ToUtf8(c.odbc));
    EXPECT_EQ(s.driverChoices, c.drivers);
  }
  EXPECT_EQ(ChooseDriver(sqlServer, {u"SQLite3", u"sql server", u"ODBC Driver 17 for SQL Server"}),
            u"ODBC Driver 17 for SQL Server");
  EXPECT_EQ(ChooseDriver(sqlServer, {u"SQLite3", u"SQL Server"}), u"SQL Server");
  EXPECT_EQ(ChooseDriver(access, {u"SQL Server"}), u"");
}

TEST(ConnectionString, UnknownProvidersAndKeysAreNamedInChinese) {
  EXPECT_NE(Rejection(u"Provider=OraOLEDB.Oracle;Data Source=orcl").find(u"“OraOLEDB.Oracle”"), std::u16string::npos);
  EXPECT_NE(Rejection(u"Provider=MSDASQL;Data Source=x").find(u"“MSDASQL”"), std::u16string::npos);
  EXPECT_NE(Rejection(u"Provider=Microsoft.ACE.OLEDB.10.0;Data Source=a.mdb").find(u"不支持"), std::u16string::npos);
  EXPECT_NE(Rejection(u"Provider=SQLOLEDB;Data Source=s;Network Library=dbmssocn").find(u"“Network Library”"),
            std::u16string::npos);
  Rejection(u"Provider=SQLOLEDB;Initial Catalog=team");
  Rejection(u"Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=x");
}

TEST(ConnectionString, MasksEveryPasswordValue) {
  EXPECT_EQ(MaskPasswords(u"Driver={X};Uid=a;PWD={p;w}}d};Server=s"), u"Driver={X};Uid=a;PWD=******;Server=s");
  EXPECT_EQ(MaskPasswords(u"Provider=SQLOLEDB;Password = \"se;cret\" ;User ID=sa"),
            u"Provider=SQLOLEDB;Password =****** ;User ID=sa");
  EXPECT_EQ(MaskPasswords(u"Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=secret123"),
            u"Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=******");
  EXPECT_EQ(MaskPasswords(u"Pwd=\"unclosed;Uid=a"), u"Pwd=******");
  EXPECT_EQ(MaskPasswords(u"Provider=SQLite;Data Source=kwo.db"), u"Provider=SQLite;Data Source=kwo.db");
}

// Real strings of every kind the program takes, each with its secret: the
// masked form keeps everything but the secret, and opening the string (which
// fails here: no such DSN, driver, provider or server) reports nothing that
// holds the secret either.
TEST(ConnectionString, EverySecretIsMaskedInTheStringAndInTheOpenFailure) {
  struct Case {
    std::u16string text;
    std::u16string masked;
    std::u16string secret;
  };
  const Case cases[] = {
      {u"DSN=nichtda;Uid=kwo;Pwd=Geheim#42", u"DSN=nichtda;Uid=kwo;Pwd=******", u"Geheim#42"},
      {u"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=kwo;Uid=kwo;PWD={Ge;heim}}42}",
       u"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=kwo;Uid=kwo;PWD=******", u"Ge;heim}42"},
      {u"Driver={Postgres Unicod};Server=db;Uid=kwo;password=Geheim#42;",
       u"Driver={Postgres Unicod};Server=db;Uid=kwo;password=******;", u"Geheim#42"},
      {u"Provider=MSDASQL;DSN=team;Uid=kwo;PassWord = \"Ge;heim\"\"42\" ;",
       u"Provider=MSDASQL;DSN=team;Uid=kwo;PassWord =****** ;", u"Ge;heim\"42"},
      {u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=team.mdb;Jet OLEDB:Database Password=Geheim#42",
       u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=team.mdb;Jet OLEDB:Database Password=******", u"Geheim#42"},
      {u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=t.accdb;jet oledb:new database password={Ge}}heim;42}",
       u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=t.accdb;jet oledb:new database password=******",
       u"Ge}heim;42"},
      {u"Provider=Microsoft.ACE.OLEDB.16.0;Data Source=t.accdb;Jet OLEDB:Database Password=Geheim#42;"
       u"Jet OLEDB:New Database Password=Neu#43",
       u"Provider=Microsoft.ACE.OLEDB.16.0;Data Source=t.accdb;Jet OLEDB:Database Password=******;"
       u"Jet OLEDB:New Database Password=******",
       u"Neu#43"},
      {u"Provider=SQLOLEDB.1;Data Source=sql01;Initial Catalog=team;User ID=sa;Password=Geheim#42",
       u"Provider=SQLOLEDB.1;Data Source=sql01;Initial Catalog=team;User ID=sa;Password=******", u"Geheim#42"},
      {u"Provider=MSOLEDBSQL;Server=sql01;Database=team;Uid=sa;Pwd=Geheim#42;Encrypt=yes",
       u"Provider=MSOLEDBSQL;Server=sql01;Database=team;Uid=sa;Pwd=******;Encrypt=yes", u"Geheim#42"},
      {u"Provider=SQLNCLI11;Data Source=sql01;User ID=sa;pass word=Geheim#42",
       u"Provider=SQLNCLI11;Data Source=sql01;User ID=sa;pass word=******", u"Geheim#42"},
      {u"Provider=MSOLEDBSQL19;Server=sql01;ssl_pwd_file=Geheim#42;Uid=sa",
       u"Provider=MSOLEDBSQL19;Server=sql01;ssl_pwd_file=******;Uid=sa", u"Geheim#42"},
      {u"Provider=Oracle.OLEDB;Data Source=ora;User ID=kwo;Password=Geheim#42",
       u"Provider=Oracle.OLEDB;Data Source=ora;User ID=kwo;Password=******", u"Geheim#42"},
      {u"Provider=SQLite;Data Source=kwo.db;Busy Timeout=x", u"Provider=SQLite;Data Source=kwo.db;Busy Timeout=x",
       u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(text::Utf16ToUtf8(c.text));
    EXPECT_EQ(MaskPasswords(c.text), c.masked);
    if (c.secret.empty()) continue;
    EXPECT_EQ(HideSecrets(u"driver said: " + c.text, c.text).find(c.secret), std::u16string::npos);
    CADODataBase db;
    if (db.Open(c.text)) {  // a server that does not answer: the session waits for it
      EXPECT_TRUE(db.ServerAway());
      continue;
    }
    EXPECT_EQ(db.ErrorDescription().find(c.secret), std::u16string::npos) << text::Utf16ToUtf8(db.ErrorDescription());
    EXPECT_EQ(db.LastErrorText().find(c.secret), std::u16string::npos) << text::Utf16ToUtf8(db.LastErrorText());
  }
}

// The string from the field: no Access driver here, and what the user reads
// names it in Chinese, with the password nowhere.
TEST(ConnectionString, MissingDriverIsNamedWithThePasswordMasked) {
  CADODataBase db;
  const std::u16string jet =
      u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=kwo.mdb;Jet OLEDB:Database Password=secret123";
  ASSERT_FALSE(db.Open(jet));
  EXPECT_NE(db.ErrorDescription().find(u"没有安装"), std::u16string::npos);
  EXPECT_NE(db.ErrorDescription().find(u"Microsoft Access Driver (*.mdb, *.accdb)"), std::u16string::npos);
  EXPECT_NE(db.ErrorDescription().find(u"Access Database Engine"), std::u16string::npos);
  EXPECT_EQ(db.ErrorDescription().find(u"secret123"), std::u16string::npos);
  EXPECT_EQ(db.LastErrorText().find(u"secret123"), std::u16string::npos);
  EXPECT_NE(db.LastErrorText().find(u"Database Password=******"), std::u16string::npos);
}

}  // namespace
}  // namespace kwo::store
