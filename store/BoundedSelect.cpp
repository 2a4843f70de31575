#include "store/BoundedSelect.h"

#include "text/Chars.h"

namespace kwo::store {
namespace {

// Where the clauses of the statement's top level start: outside quotes and parentheses.
struct TopLevel {
  std::vector<size_t> unions;  // " union all "
  size_t orderBy = std::u16string::npos;  // the last " order by "
};

bool WordsAt(const std::u16string& sql, size_t at, std::u16string_view words) {
  return at + words.size() <= sql.size() &&
         text::EqualNoCase(std::u16string_view(sql).substr(at, words.size()), words);
}

TopLevel FindTopLevel(const std::u16string& sql) {
  TopLevel found;
  char16_t quote = 0;
  int depth = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char16_t c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u'(') {
      ++depth;
    } else if (c == u')') {
      --depth;
    } else if (depth == 0 && WordsAt(sql, i, u" union all ")) {
      found.unions.push_back(i);
    } else if (depth == 0 && WordsAt(sql, i, u" order by ")) {
      found.orderBy = i;
    }
  }
  return found;
}

size_t CountMarkers(std::u16string_view sql) {
  size_t count = 0;
  char16_t quote = 0;
  for (char16_t c : sql) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u'?') {
      ++count;
    }
  }
  return count;
}

}  // namespace

bool AddRowBound(std::u16string& sql, std::vector<size_t>& order) {
  const std::u16string_view trimmed = text::TrimSpace(sql);
  if (!WordsAt(std::u16string(trimmed), 0, u"select ")) return false;
  std::u16string body(trimmed);
  while (!body.empty() && (body.back() == u';' || text::IsSpace(body.back()))) body.pop_back();

  const TopLevel top = FindTopLevel(body);
  const bool orderedUnion = !top.unions.empty() && top.orderBy != std::u16string::npos &&
                            top.orderBy > top.unions.back() && CountMarkers(body.substr(top.orderBy)) == 0;
  if (!orderedUnion) {
    sql = body + u" limit ?";
    order.push_back(kRowBoundParameter);
    return true;
  }
  const std::u16string orderBy = body.substr(top.orderBy);
  std::u16string out;
  std::vector<size_t> outOrder;
  size_t start = 0, marker = 0;
  for (size_t part = 0; part <= top.unions.size(); ++part) {
    const size_t end = part < top.unions.size() ? top.unions[part] : top.orderBy;
    const std::u16string branch = body.substr(start, end - start);
    if (part > 0) out += u" union all ";
    out += u"(" + branch + orderBy + u" limit ?)";
    for (size_t n = CountMarkers(branch); n > 0 && marker < order.size(); --n) outOrder.push_back(order[marker++]);
    outOrder.push_back(kRowBoundParameter);
    start = end + (part < top.unions.size() ? 11 : 0);  // past " union all "
  }
  sql = out + orderBy + u" limit ?";
  outOrder.push_back(kRowBoundParameter);
  order = std::move(outOrder);
  return true;
}

}  // namespace kwo::store
