#include "store/SqlRewrite.h"

#include <string_view>

#include "text/Chars.h"

namespace kwo::store {

// "?1", "?2" -> "?" with the parameter number of every marker; text in
// quotes is left alone.
std::u16string MapMarkers(const std::u16string& sql, std::vector<size_t>& order) {
  std::u16string out;
  char16_t quote = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char16_t c = sql[i];
    out += c;
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u';' && !text::TrimSpace(std::u16string_view(sql).substr(i + 1)).empty()) {
      return std::u16string();  // more than one statement
    } else if (c == u'?') {
      size_t number = 0;
      size_t j = i + 1;
      while (j < sql.size() && sql[j] >= u'0' && sql[j] <= u'9') number = number * 10 + (sql[j++] - u'0');
      order.push_back(j > i + 1 ? number - 1 : order.size());
      i = j - 1;
    }
  }
  return out;
}

// The few words the databases spell differently. PostgreSQL's like tells
// letter cases apart, which SQLite's, SQL Server's and Access's do not.
std::u16string Respell(std::u16string sql, const SqlDialect& dialect) {
  if (dialect.substringIsMid) {
    for (size_t at = 0; (at = sql.find(u"substring(", at)) != std::u16string::npos;) sql.replace(at, 10, u"mid(");
  }
  if (dialect.caseBlindLikeIsIlike) {
    for (size_t at = 0; (at = sql.find(u" like ?", at)) != std::u16string::npos; at += 8) sql.replace(at, 6, u" ilike ");
  }
  return sql;
}

// The table a plain "select ... from <name> ..." reads.
std::u16string TableOfSelect(const std::u16string& sql) {
  const std::u16string lower = text::Upper(sql);
  size_t at = lower.find(u" FROM ");
  if (at == std::u16string::npos) return {};
  at += 6;
  while (at < sql.size() && sql[at] == u' ') ++at;
  size_t end = at;
  if (end < sql.size() && sql[end] == u'"') {
    end = sql.find(u'"', at + 1);
    return end == std::u16string::npos ? std::u16string() : sql.substr(at + 1, end - at - 1);
  }
  while (end < sql.size() && (sql[end] == u'_' || (sql[end] >= u'0' && sql[end] <= u'9') ||
                              (text::UpperUnit(sql[end]) >= u'A' && text::UpperUnit(sql[end]) <= u'Z')))
    ++end;
  return sql.substr(at, end - at);
}

bool IsPlainWrite(std::u16string_view sql) {
  const std::u16string_view trimmed = text::TrimSpace(sql);
  size_t end = 0;
  while (end < trimmed.size() && text::UpperUnit(trimmed[end]) >= u'A' && text::UpperUnit(trimmed[end]) <= u'Z') ++end;
  const std::u16string_view word = trimmed.substr(0, end);
  return text::EqualNoCase(word, u"insert") || text::EqualNoCase(word, u"update") ||
         text::EqualNoCase(word, u"delete");
}

}  // namespace kwo::store
