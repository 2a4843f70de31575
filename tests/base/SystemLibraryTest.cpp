// System functions looked up at first use: found in libraries loaded or not
// yet loaded, nullptr for what is missing, and never a library of the same
// name beside the program.
#ifdef _WIN32
#include "base/SystemLibrary.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace kwo {
namespace {

std::wstring ModuleFile(HMODULE module) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::wstring Folder(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

TEST(SystemLibrary, FindsFunctionsAndNothingThatIsMissing) {
  using GetDpiFn = UINT(WINAPI*)(HWND);
  // Loaded already (an import of every program with windows).
  const auto loaded = SystemFunction<GetDpiFn>(L"user32.dll", "GetDpiForWindow");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(loaded),
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));

  // Not loaded before (nothing of kwo uses it): it comes from the system folder.
  using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
  ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr) << "msimg32.dll was loaded before the test";
  EXPECT_NE(SystemFunction<AlphaBlendFn>(L"msimg32.dll", "AlphaBlend"), nullptr);
  const HMODULE loadedNow = GetModuleHandleW(L"msimg32.dll");
  ASSERT_NE(loadedNow, nullptr);
  EXPECT_EQ(CompareStringOrdinal(Folder(ModuleFile(loadedNow)).c_str(), -1, SystemFolder().c_str(), -1, TRUE),
            CSTR_EQUAL)
      << ModuleFile(loadedNow).c_str();

  EXPECT_EQ(SystemFunction<GetDpiFn>(L"user32.dll", "NoSuchFunctionAtAll"), nullptr);
  EXPECT_EQ(SystemFunction<GetDpiFn>(L"kwo_no_such_library.dll", "GetDpiForWindow"), nullptr);
  EXPECT_EQ(SystemLibrary(L"kwo_no_such_library.dll"), nullptr);
}

TEST(SystemLibrary, NeverLoadsALibraryBesideTheProgram) {
  // A loadable file beside the test program, under a name the system folder lacks.
  const std::wstring beside = Folder(ModuleFile(nullptr)) + L"\\kwo_beside_only.dll";
  ASSERT_TRUE(CopyFileW(ModuleFile(nullptr).c_str(), beside.c_str(), FALSE));
  // The ordinary search finds it there ...
  const HMODULE found = LoadLibraryExW(L"kwo_beside_only.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(found, nullptr);
  if (found) FreeLibrary(found);
  // ... the system-folder search does not.
  EXPECT_EQ(SystemLibrary(L"kwo_beside_only.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"kwo_beside_only.dll"), nullptr);
  DeleteFileW(beside.c_str());
}

}  // namespace
}  // namespace kwo

#endif  // _WIN32
