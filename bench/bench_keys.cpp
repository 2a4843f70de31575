// Interpreter throughput: key events (records handed to SendEvents) per
// second into the recorder, for plain Latin, Chinese and group-heavy text;
// and the content check of an entry that repeats keys 65535 times. A reply
// with five fields against the same reply with their text written out: the
// fields' own cost per sending.
#include <benchmark/benchmark.h>

#include <string>

#include "keys/KeySend.h"
#include "keys/RecordingClipboardPlatform.h"
#include "keys/RecordingKeyPlatform.h"
#include "keys/SequenceCheck.h"

namespace {

std::u16string Repeat(const std::u16string& piece, size_t times) {
  std::u16string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

void RunSequence(benchmark::State& bench, const std::u16string& text) {
  kwo::keys::RecordingKeyPlatform platform(1 << 16);
  kwo::keys::RecordingClipboardPlatform clipboard(platform);
  clipboard.userText = u"SO-20261208-0042";
  kwo::keys::KeySendState state;
  size_t events = 0;
  for (auto _ : bench) {
    platform.Clear();  // keeps the reserved storage
    // Each sending reads its moment and the clipboard anew, as the sender does.
    state.fields = kwo::keys::FieldContext();
    state.fields.now = kwo::keys::LocalDateTime{2026, 12, 8, 14, 5, 9};
    state.fields.clipboard = &clipboard;
    benchmark::DoNotOptimize(kwo::keys::SendKeySequence(text.c_str(), state, platform));
    events += platform.eventCount();
  }
  bench.counters["events/s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
  bench.counters["events/call"] = static_cast<double>(platform.eventCount());
  bench.SetItemsProcessed(static_cast<int64_t>(events));
}

void BM_LatinText(benchmark::State& bench) {
  RunSequence(bench, Repeat(u"The quick brown fox jumps over the lazy dog. ", 40));
}
BENCHMARK(BM_LatinText);

void BM_ChineseText(benchmark::State& bench) {
  RunSequence(bench, Repeat(u"疾书精灵把简短的代码展开成整段文字，", 100));
}
BENCHMARK(BM_ChineseText);

void BM_GroupHeavy(benchmark::State& bench) {
  RunSequence(bench, Repeat(u"{CTRL+}{c}{CTRL-}{TAB 2}{delete}{F12}{NUMPAD5}{SHIFT+}{END}{SHIFT-}{DELAY=0}x\r\n", 60));
}
BENCHMARK(BM_GroupHeavy);

void BM_FiveFields(benchmark::State& bench) {
  RunSequence(bench, u"您好：您的订单 {剪贴板} 已于 {日期 yyyy年M月d日} {时间} 发货（农历{农历}，{日期 dddd}）。{光标}");
}
BENCHMARK(BM_FiveFields);

void BM_FiveFieldsWrittenOut(benchmark::State& bench) {
  RunSequence(bench, u"您好：您的订单 SO-20261208-0042 已于 2026年12月8日 14:05 发货（农历十月三十，星期二）。");
}
BENCHMARK(BM_FiveFieldsWrittenOut);

// Import checks every content it reads; a content like this one must not
// cost a press per repeat.
void BM_CheckRepeats(benchmark::State& bench) {
  const std::u16string text = Repeat(u"{TAB 65535}{A 65535}", 20);
  for (auto _ : bench) benchmark::DoNotOptimize(kwo::keys::FindSequenceProblems(text));
}
BENCHMARK(BM_CheckRepeats);

}  // namespace

BENCHMARK_MAIN();
