// Finding entries by content on tables of 1,000, 100,000 and 1,000,000
// entries: the search the main window runs on every keystroke in search mode,
// against a plain LIKE '%...%' scan of the same table in the same run. The
// contents are sentences of Chinese and Latin words; the trigram index is
// filled first, part by part, and its time printed once per table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchTable.h"
#include "store/AdoDataBase.h"
#include "store/ContentSearch.h"
#include "store/ShorthandTable.h"

namespace {

using namespace kwo::store;
using kwo::bench::TableOf;

// What is searched for: a common two-character Chinese word, a four-character
// Chinese word in three rows only, a Latin word, two words, a word in no row,
// and two texts met while "meeting" is typed: two letters, and six.
const std::u16string kTexts[] = {u"", u"稀有词语", u"address", u"", u"zqxj", u"me", u"meetin"};
const char* const kTextNames[] = {"chinese-2", "chinese-rare-4", "latin", "two-words", "absent", "typing-2", "typing-6"};
constexpr int64_t kTextCount = 7;

struct Table : kwo::bench::BenchDatabase {
  ContentSearch search;
  std::u16string texts[kTextCount];

  explicit Table(size_t size) : BenchDatabase("kwo-bench-search-") {
    std::mt19937 random(7);
    std::vector<std::u16string> words;
    for (int i = 0; i < 3000; ++i) {  // two-character Chinese words
      words.push_back({static_cast<char16_t>(0x4E00 + random() % 6000), static_cast<char16_t>(0x4E00 + random() % 6000)});
    }
    for (const char16_t* latin : {u"address", u"phone", u"regards", u"meeting", u"invoice", u"thanks", u"office",
                                  u"please", u"street", u"number", u"email", u"today"}) {
      words.push_back(latin);
    }
    DbSession& session = *db.Connection()->Session();
    DbError error;
    session.BeginTransaction(error);
    auto insert = session.Prepare(u"insert into kwo(id, shortkey, content) values (?1, ?2, ?3)", error);
    for (size_t i = 0; i < size; ++i) {
      std::u16string key = u"A";  // distinct keys of digits and capitals
      for (size_t n = i; n > 0; n /= 36) key += u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[n % 36];
      key = key.substr(0, 6);
      std::u16string content;
      for (int n = 4 + static_cast<int>(random() % 9); n > 0; --n) content += words[random() % words.size()] + u" ";
      if (i == size / 4 || i == size / 2 || i == size - 1) content += kTexts[1];
      content += u"{ENTER}";
      insert->Bind({DbValue(static_cast<int64_t>(ShortKeyId(key))), DbValue(key), DbValue(content)}, error);
      insert->Step(error);
    }
    insert.reset();
    session.CommitTransaction(error);
    texts[0] = words[0];
    texts[1] = kTexts[1];
    texts[2] = kTexts[2];
    texts[3] = words[1] + u" " + kTexts[2];
    texts[4] = kTexts[4];
    texts[5] = kTexts[5];
    texts[6] = kTexts[6];

    // Filled part by part, as the main window does when idle: the longest
    // part is how long a keystroke may wait meanwhile.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::vector<double> partMs;  // the wall time of each part
    double longestCpuMs = 0;
    for (IndexFill fill = IndexFill::More; fill == IndexFill::More;) {
      const auto partStart = Clock::now();
      const std::clock_t cpuStart = std::clock();
      fill = FillContentIndex(session, kIndexFillRows, error);
      longestCpuMs = std::max(longestCpuMs, 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
      partMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - partStart).count());
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    std::sort(partMs.begin(), partMs.end());
    std::printf("%zu entries: trigram index filled in %.2f s, %zu parts of %lld rows; wall time of a part: median %.0f "
                "ms, longest %.0f ms; longest in CPU time %.0f ms\n",
                size, took.count(), partMs.size(), static_cast<long long>(kIndexFillRows), partMs[partMs.size() / 2],
                partMs.back(), longestCpuMs);
  }
};

void BM_ContentSearch(benchmark::State& state) {
  Table& table = TableOf<Table>(static_cast<size_t>(state.range(0)));
  const std::u16string& text = table.texts[state.range(1)];
  std::vector<FoundEntry> found;
  DbError error;
  for (auto _ : state) {
    table.search.Find(table.db.Connection(), text, found, error);
    benchmark::DoNotOptimize(found);
  }
  state.SetLabel(kTextNames[state.range(1)]);
  state.counters["rows"] = static_cast<double>(found.size());
  state.counters["index"] = table.search.UsedIndex() ? 1 : 0;
}

// The same words, each in key or content, by LIKE over the table in id order.
void BM_LikeScan(benchmark::State& state) {
  Table& table = TableOf<Table>(static_cast<size_t>(state.range(0)));
  const std::vector<std::u16string> words = SearchWords(table.texts[state.range(1)]);
  std::u16string sql = u"select id, shortkey, content from kwo where ";
  std::vector<DbValue> patterns;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::u16string n = std::u16string(1, static_cast<char16_t>(u'1' + i));
    sql += (i ? u" and " : u"") + (u"(shortkey like ?" + n + u" or content like ?" + n + u")");
    patterns.emplace_back(u"%" + words[i] + u"%");
  }
  sql += u" order by id limit 37";
  DbError error;
  auto statement = table.db.Connection()->Session()->Prepare(sql, error);
  size_t rows = 0;
  for (auto _ : state) {
    statement->Bind(patterns, error);
    for (rows = 0; statement->Step(error) == DbStep::Row; ++rows) benchmark::DoNotOptimize(statement->Column(2));
    statement->Reset();
  }
  state.SetLabel(kTextNames[state.range(1)]);
  state.counters["rows"] = static_cast<double>(rows);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t size : {1000, 100000, 1000000}) {
    for (int64_t text = 0; text < kTextCount; ++text) b->Args({size, text});
  }
}

BENCHMARK(BM_ContentSearch)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LikeScan)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
