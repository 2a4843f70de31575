#include "app/Startup.h"

#include <windows.h>

#include "app/FirstStart.h"
#include "app/MainLogic.h"
#include "app/StoreNotices.h"
#include "settings/IniFile.h"
#include "store/AdoErrors.h"
#include "store/ConnectionString.h"
#include "text/Utf.h"
#include "ui/Window.h"

namespace kwo::app {

using kwo::text::FromWide;
using kwo::text::ToWide;

namespace {

// Command ids of the links must fit in the 16 bits of a menu item id.
constexpr size_t kMostMenuLinks = 0x10000 - kFirstMenuLinkId;

// Opens `connectionString` (the default when empty) in `store`; throws StartupError.
void OpenStore(store::CADODataBase& store, const std::u16string& connectionString) {
  if (store.Open(connectionString)) return;
  const std::wstring detail =
      L"\n\n详细信息：" + ToWide(store::FailureDetail(store.LastFailure(), store.ErrorDescription()));
  store::ConnectionSettings settings;
  std::u16string ignored;
  if (store.LastFailure() == store::DbFailure::Damaged &&
      store::ParseConnectionString(connectionString, settings, ignored)) {
    std::error_code failure;
    std::filesystem::path file = std::filesystem::absolute(std::filesystem::path(settings.dataSource), failure);
    if (failure) file = std::filesystem::path(settings.dataSource);
    throw StartupError(L"数据库文件已损坏或不是数据库文件，疾书精灵不能启动。\n文件：" + file.wstring() +
                       L"\n请把这个文件改名（例如在名字后加上 .bak）后再启动疾书精灵，"
                       L"它会新建一个空的数据库；改名后的文件请留作备份。" + detail);
  }
  throw StartupError(ToWide(StartFailureText(connectionString, store.ErrorDescription())));
}

}  // namespace

StartupError::StartupError(std::wstring text)
    : std::runtime_error(text::Utf16ToUtf8(FromWide(text))), text_(std::move(text)) {}

ProgramPaths ProgramPaths::In(const std::wstring& folder) {
  ProgramPaths paths;
  paths.iniFile = folder + L"kwo.ini";
  paths.helpFile = folder + L"kwo.chm";
  return paths;
}

ProgramPaths EnterProgramFolder() {
  const std::wstring folder = ui::ProgramFolder();
  if (!folder.empty()) SetCurrentDirectoryW(folder.c_str());
  return ProgramPaths::In(folder);
}

std::u16string ReadConnectionStringOf(const std::wstring& iniFile) {
  settings::CIniFile ini;
  ini.Load(std::filesystem::path(iniFile));
  std::u16string connectionString = settings::ReadConnectionString(ini);
  return connectionString.empty() ? store::DefaultConnectionString() : connectionString;
}

StartSettings ReadStartSettings(const std::wstring& iniFile) {
  StartSettings read;
  try {
    settings::CIniFile ini;
    ini.Load(std::filesystem::path(iniFile));
    read.connectionString = settings::ReadConnectionString(ini);
    if (read.connectionString.empty()) read.connectionString = store::DefaultConnectionString();
    std::error_code unknown;
    read.written = std::filesystem::last_write_time(std::filesystem::path(iniFile), unknown);
    read.options = settings::ReadOptions(ini);
    const keys::HotKeySetting setting = keys::ResolveHotKey(read.options.hotKey);
    read.hotKey = setting.hotKey;
    read.notice = ToWide(
        SettingsNotice(read.options.hotKey, setting.malformed, setting.refusal, read.options.pasteAboveUnread));
    if (const settings::CIniSection* links = ini.FindSection(u"Menu")) {
      for (const auto& key : links->Keys()) {
        if (read.menuLinks.size() == kMostMenuLinks) break;
        read.menuLinks.emplace_back(ToWide(key->Name()), ToWide(key->Value()));
      }
    }
  } catch (const settings::IniError& failure) {
    const std::wstring file = failure.File().wstring();
    if (failure.Cause() == settings::kFolderReadOnlyCause) {
      throw StartupError(L"疾书精灵所在的文件夹不能写入，里面也没有设置文件，疾书精灵不能启动。\n文件夹：" +
                         failure.File().parent_path().wstring() +
                         L"\n请把疾书精灵放到可以写入的文件夹（例如解压到本机磁盘），"
                         L"或者把 kwo.ini 和 kwo.db 一起放进这个文件夹，疾书精灵会以只读方式使用它们。");
    }
    if (failure.Cause() == settings::kKeyOutsideSectionCause) {
      throw StartupError(L"设置文件的格式不对，疾书精灵不能启动。\n文件：" + file +
                         L"\n请用记事本打开它，删去第一个 [节名] 行之前的设置行；"
                         L"或者把它改名，疾书精灵会新建一个设置文件。\n\n详细信息：" + ToWide(failure.Cause()));
    }
    throw StartupError(L"无法读取设置文件，疾书精灵不能启动。\n文件：" + file +
                       L"\n请确认这个文件可以读写，并且没有被其他程序占用。\n\n详细信息：" + ToWide(failure.Cause()));
  }
  return read;
}

CStartup::CStartup(ProgramPaths programPaths)
    : paths(std::move(programPaths)), settings(ReadStartSettings(paths.iniFile)) {
  storeCreated = StoreWillBeCreated(settings.connectionString);
  OpenStore(store, settings.connectionString);
}

}  // namespace kwo::app
