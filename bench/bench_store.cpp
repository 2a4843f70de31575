// The store's statements on tables of 1,000, 100,000 and 1,000,000 entries,
// read the way the main dialog reads them, and 100,000 upserts in one
// transaction the way import writes them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "BenchTable.h"
#include "store/AdoDataBase.h"
#include "store/ShorthandTable.h"

namespace {

using namespace kwo::store;
using kwo::bench::TableOf;

const std::u16string kAlphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

std::u16string RandomKey(std::mt19937& random) {
  std::u16string key;
  const int length = 1 + static_cast<int>(random() % 6);
  for (int i = 0; i < length; ++i) key += kAlphabet[random() % 36];
  return key;
}

struct Table : kwo::bench::BenchDatabase {
  std::vector<std::u16string> keys;
  std::u16string fivePrefix;

  explicit Table(size_t size) : BenchDatabase("kwo-bench-") {
    std::mt19937 random(static_cast<unsigned>(size));
    std::unordered_set<std::u16string> seen;
    CADORecordset rs;
    db.BeginTrans();
    while (keys.size() < size) {
      std::u16string key = RandomKey(random);
      if (!seen.insert(key).second) continue;
      SaveEntry(rs, db.Connection(), key, u"内容 " + key + u" {ENTER}");
      keys.push_back(key);
      if (fivePrefix.empty() && key.size() == 6) fivePrefix = key.substr(0, 5);
    }
    db.CommitTrans();
  }
};

void BM_Lookup(benchmark::State& state) {
  Table& table = TableOf<Table>(static_cast<size_t>(state.range(0)));
  CADORecordset rs;
  rs.SetConnection(table.db.Connection());
  size_t i = 0;
  for (auto _ : state) {
    const std::u16string& key = table.keys[(i++ * 7919) % table.keys.size()];
    std::u16string content;
    if (OpenLookup(rs, table.db.Connection(), ShortKeyId(key)) && rs.RecordCount() > 0)
      rs.FieldText(kColumnContent, content);
    benchmark::DoNotOptimize(content);
  }
}

void ListPrefix(benchmark::State& state, Table& table, const std::u16string& key) {
  CADORecordset rs;
  rs.SetConnection(table.db.Connection());
  uint32_t listed = 0;
  for (auto _ : state) {
    if (!OpenPrefix(rs, table.db.Connection(), key)) continue;
    listed = rs.RecordCount();
    for (uint32_t row = 0; row < listed; ++row) {
      std::u16string shortKey, content;
      rs.FieldText(kColumnKey, shortKey);
      rs.FieldText(kColumnContent, content);
      benchmark::DoNotOptimize(content);
      rs.MoveNext();
    }
    rs.Close();
  }
  state.counters["rows"] = listed;
}

void BM_PrefixEmpty(benchmark::State& state) { ListPrefix(state, TableOf<Table>(static_cast<size_t>(state.range(0))), u""); }
void BM_PrefixA(benchmark::State& state) { ListPrefix(state, TableOf<Table>(static_cast<size_t>(state.range(0))), u"A"); }
void BM_PrefixFive(benchmark::State& state) {
  Table& table = TableOf<Table>(static_cast<size_t>(state.range(0)));
  ListPrefix(state, table, table.fivePrefix);
}

void BM_Upsert100k(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto table = std::make_unique<Table>(1000);
    std::mt19937 random(42);
    std::vector<std::u16string> keys;
    for (int i = 0; i < 100000; ++i) keys.push_back(i % 10 == 0 ? table->keys[i % 1000] : RandomKey(random));
    CADORecordset rs;
    state.ResumeTiming();
    table->db.BeginTrans();
    for (const auto& key : keys) SaveEntry(rs, table->db.Connection(), key, u"导入的内容 " + key);
    table->db.CommitTrans();
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
}

BENCHMARK(BM_Lookup)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefixEmpty)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefixA)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefixFive)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Upsert100k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
