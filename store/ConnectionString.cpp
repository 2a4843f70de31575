#include "store/ConnectionString.h"

#include <vector>

#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

struct Pair {
  std::u16string key;
  std::u16string value;
};

// Splits "k=v;k=v" into pairs; false with a message on a malformed string.
bool SplitPairs(std::u16string_view text, std::vector<Pair>& pairs, std::u16string& message) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t equals = text.find(u'=', i);
    const size_t semicolon = text.find(u';', i);
    if (semicolon < equals) {  // a part without "=": only empty parts are allowed
      if (!text::TrimSpace(text.substr(i, semicolon - i)).empty()) {
        message = u"“" + std::u16string(text.substr(i, semicolon - i)) + u"”不是“键=值”的形式";
        return false;
      }
      i = semicolon + 1;
      continue;
    }
    if (equals == std::u16string_view::npos) {
      if (!text::TrimSpace(text.substr(i)).empty()) {
        message = u"“" + std::u16string(text.substr(i)) + u"”不是“键=值”的形式";
        return false;
      }
      break;
    }
    Pair pair;
    pair.key = std::u16string(text::TrimSpace(text.substr(i, equals - i)));
    if (pair.key.empty()) {
      message = u"有一个值前面没有键名";
      return false;
    }
    size_t j = equals + 1;
    while (j < text.size() && text::IsSpace(text[j])) ++j;
    if (j < text.size() && text[j] == u'"') {
      ++j;
      bool closed = false;
      while (j < text.size()) {
        if (text[j] == u'"') {
          if (j + 1 < text.size() && text[j + 1] == u'"') {
            pair.value += u'"';
            j += 2;
            continue;
          }
          ++j;
          closed = true;
          break;
        }
        pair.value += text[j++];
      }
      if (!closed) {
        message = u"“" + pair.key + u"”的值缺少结束的引号";
        return false;
      }
      while (j < text.size() && text::IsSpace(text[j])) ++j;
      if (j < text.size() && text[j] != u';') {
        message = u"“" + pair.key + u"”的引号值后面还有多余的文字";
        return false;
      }
      i = j + 1;
    } else {
      const size_t end = text.find(u';', j);
      const size_t stop = end == std::u16string_view::npos ? text.size() : end;
      pair.value = std::u16string(text::TrimSpace(text.substr(j, stop - j)));
      i = stop + 1;
    }
    pairs.push_back(std::move(pair));
  }
  return true;
}

}  // namespace

bool ParseConnectionString(std::u16string_view text, ConnectionSettings& settings, std::u16string& message) {
  std::vector<Pair> pairs;
  if (!SplitPairs(text, pairs, message)) return false;
  ConnectionSettings result;
  bool haveProvider = false;
  bool haveSource = false;
  for (const Pair& pair : pairs) {
    if (text::EqualNoCase(pair.key, u"Provider")) {
      result.provider = pair.value;
      haveProvider = true;
    } else if (text::EqualNoCase(pair.key, u"Data Source")) {
      result.dataSource = pair.value;
      haveSource = true;
    } else if (text::EqualNoCase(pair.key, u"Busy Timeout")) {
      size_t used = 0;
      const int32_t ms = text::ParseDecimal(pair.value, &used);
      if (used == 0 || used != pair.value.size() || ms < 0) {
        message = u"Busy Timeout 应是毫秒数，而不是“" + pair.value + u"”";
        return false;
      }
      result.busyTimeoutMs = ms;
    } else {
      message = u"未知的键“" + pair.key + u"”";
      return false;
    }
  }
  if (!haveProvider || result.provider.empty()) {
    message = u"连接字符串中没有 Provider";
    return false;
  }
  if (!haveSource || result.dataSource.empty()) {
    message = u"连接字符串中没有 Data Source";
    return false;
  }
  settings = std::move(result);
  return true;
}

std::u16string DefaultConnectionString() { return u"Provider=SQLite;Data Source=kwo.db"; }

}  // namespace kwo::store
