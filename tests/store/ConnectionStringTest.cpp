#include <gtest/gtest.h>

#include "store/ConnectionString.h"

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

}  // namespace
}  // namespace kwo::store
