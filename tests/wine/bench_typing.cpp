// Typing benchmark: characters per second that arrive in a receiver's edit
// control when typed by SendKeySequence, against a bare loop of SendInput
// calls (one Unicode down/up pair per call) with the same text, in the same
// run. Each measurement runs from the first event until the edit holds the
// whole text (polled), so it includes what the receiver needs to take it in.
//
//   bench_typing.exe RECEIVER_TITLE [CHARACTERS] [ROUNDS]
//
// The text is mixed Latin and Chinese, CHARACTERS code units long (default
// 1500). One unmeasured run warms the receiver up (fonts, glyph caches);
// then rounds alternate which method goes first. Prints every run and the
// medians; exit code 1 if a run did not deliver the text exactly.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "keys/KeySend.h"
#include "desktop/WinKeyPlatform.h"
#include "tests/wine/Poll.h"
#include "tests/wine/RemoteControl.h"
#include "tests/wine/SyntheticInput.h"
#include "tests/wine/TestIo.h"
#include "text/Utf.h"

using namespace kwo::wine_test;

namespace {

constexpr int kEditId = 100;
constexpr DWORD kDeliveryTimeoutMs = 120000;

// Plain text only: no brace, backslash, tab or line end, so both methods type
// exactly the same Unicode events.
std::wstring BenchText(size_t length) {
  static const wchar_t* const kPieces[] = {
      L"The quick brown fox jumps over the lazy dog. ", L"疾书精灵把速记符展开成正文，", L"typing 123 keys, ",
      L"中文和English混排；", L"(a+b)*c = 42! ", L"输入法不受影响。"};
  std::wstring text;
  for (size_t i = 0; text.size() < length; ++i) text += kPieces[i % (sizeof kPieces / sizeof kPieces[0])];
  text.resize(length);
  return text;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring Fixed(double value, int decimals) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"%.*f", decimals, value);
  return buffer;
}

struct Run {
  double seconds = 0;       // first event until the text is complete
  double queueSeconds = 0;  // first event until the typing call returned
};

bool PrepareReceiver(HWND top, HWND edit) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                           &result))
    return false;
  return PollUntil(
      [top] {
        if (GetForegroundWindow() == top) return true;
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(top);
        return false;
      },
      10000);
}

template <typename Typing>
bool Measure(HWND top, HWND edit, const std::wstring& text, Typing typing, Run& run) {
  if (!PrepareReceiver(top, edit)) {
    WriteErr(L"bench: cannot prepare the receiver\n");
    return false;
  }
  LARGE_INTEGER start, queued, done;
  QueryPerformanceCounter(&start);
  typing();
  QueryPerformanceCounter(&queued);
  const LRESULT expected = static_cast<LRESULT>(text.size());
  bool complete = PollUntil(
      [&] {
        DWORD_PTR length = 0;
        return SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length) &&
               static_cast<LRESULT>(length) >= expected;
      },
      kDeliveryTimeoutMs);
  QueryPerformanceCounter(&done);
  std::wstring actual;
  if (!complete || !ReadControlText(edit, actual) || actual != text) {
    WriteErr(L"bench: the receiver did not get the text exactly (" + std::to_wstring(actual.size()) + L" of " +
             std::to_wstring(text.size()) + L" code units)\n");
    return false;
  }
  run.seconds = Seconds(start, done);
  run.queueSeconds = Seconds(start, queued);
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> args = kwo::wine_test::CommandLineArgs();
  if (args.size() < 2) {
    WriteErr(L"usage: bench_typing.exe RECEIVER_TITLE [CHARACTERS] [ROUNDS]\n");
    return 2;
  }
  const size_t length = args.size() > 2 ? std::wcstoul(args[2].c_str(), nullptr, 10) : 1500;
  const int rounds = args.size() > 3 ? std::max(1, _wtoi(args[3].c_str())) : 5;

  HWND top = FindWindowW(nullptr, args[1].c_str());
  HWND edit = top ? GetDlgItem(top, kEditId) : nullptr;
  if (!edit) {
    WriteErr(L"bench: no receiver '" + args[1] + L"'\n");
    return 2;
  }

  const std::wstring text = BenchText(length);
  const std::u16string sequence = kwo::text::FromWide(text);
  size_t chinese = 0;
  for (wchar_t c : text) chinese += c >= 0x2E80 ? 1 : 0;
  WriteOut(L"typing benchmark: " + std::to_wstring(text.size()) + L" characters (" + std::to_wstring(chinese) +
           L" CJK), " + std::to_wstring(rounds) + L" rounds, into \"" + args[1] + L"\"\n");

  kwo::desktop::WinKeyPlatform platform;
  auto bare = [&] { TypeUnicode(text); };
  auto engine = [&] {
    kwo::keys::KeySendState state;
    kwo::keys::SendKeySequence(sequence.c_str(), state, platform);
  };

  Run warmUp;
  if (!Measure(top, edit, text, bare, warmUp)) return 1;
  std::vector<double> bareRates, engineRates;
  for (int round = 1; round <= rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool engineTurn = (turn == 0) == (round % 2 == 0);
      Run run;
      bool ok = engineTurn ? Measure(top, edit, text, engine, run) : Measure(top, edit, text, bare, run);
      if (!ok) return 1;
      const double rate = static_cast<double>(text.size()) / run.seconds;
      (engineTurn ? engineRates : bareRates).push_back(rate);
      WriteOut(L"round " + std::to_wstring(round) + (engineTurn ? L" SendKeySequence: " : L" bare SendInput:  ") +
               Fixed(run.seconds, 3) + L" s, " + Fixed(rate, 1) + L" chars/s (calls returned after " +
               Fixed(run.queueSeconds, 3) + L" s)\n");
    }
  }
  // Under a shared machine's load single runs scatter widely: the best run of
  // each method and the ratios of the back-to-back pairs of one round are the
  // steadier figures.
  std::vector<double> pairRatios;
  for (size_t i = 0; i < engineRates.size(); ++i) pairRatios.push_back(engineRates[i] / bareRates[i]);
  const double bareMedian = Median(bareRates);
  const double engineMedian = Median(engineRates);
  const double bareBest = *std::max_element(bareRates.begin(), bareRates.end());
  const double engineBest = *std::max_element(engineRates.begin(), engineRates.end());
  WriteOut(L"bare SendInput loop: median " + Fixed(bareMedian, 1) + L", best " + Fixed(bareBest, 1) + L" chars/s\n");
  WriteOut(L"SendKeySequence:     median " + Fixed(engineMedian, 1) + L", best " + Fixed(engineBest, 1) +
           L" chars/s\n");
  WriteOut(L"ratio SendKeySequence / bare (goal >= 0.9): medians " + Fixed(engineMedian / bareMedian, 3) +
           L", bests " + Fixed(engineBest / bareBest, 3) + L", median of the rounds' pairs " +
           Fixed(Median(pairRatios), 3) + L"\n");
  return 0;
}
