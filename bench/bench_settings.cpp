// Parsing kwo.ini: one section of n distinct keys and n sections of one key
// each, from the file's lines (what Load does after reading the file).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "settings/IniFile.h"
#include "text/Chars.h"

namespace {

std::vector<std::u16string> ManyKeys(int64_t n) {
  std::vector<std::u16string> lines{u"[Options]"};
  for (int64_t i = 0; i < n; ++i) lines.push_back(u"Key" + kwo::text::FormatDecimal(i) + u"=value");
  return lines;
}

std::vector<std::u16string> ManySections(int64_t n) {
  std::vector<std::u16string> lines;
  for (int64_t i = 0; i < n; ++i) {
    lines.push_back(u"[Section" + kwo::text::FormatDecimal(i) + u"]");
    lines.push_back(u"Key=value");
  }
  return lines;
}

void Parse(benchmark::State& bench, const std::vector<std::u16string>& lines) {
  for (auto _ : bench) {
    kwo::settings::CIniFile ini;
    ini.ParseLines(lines);
    benchmark::DoNotOptimize(ini.Sections().size());
  }
  bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(lines.size()));
}

void BM_IniManyKeys(benchmark::State& bench) { Parse(bench, ManyKeys(bench.range(0))); }
BENCHMARK(BM_IniManyKeys)->Arg(100)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_IniManySections(benchmark::State& bench) { Parse(bench, ManySections(bench.range(0))); }
BENCHMARK(BM_IniManySections)->Arg(100)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
