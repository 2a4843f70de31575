#pragma once
// A fresh folder under the system's temporary folder, removed with its contents.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "store/AdoDataBase.h"

namespace kwo::store::testing {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("kwo-store-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::u16string& name) const { return path_ / std::filesystem::path(name); }

  // "Provider=SQLite;Data Source=<folder>/<name>"
  std::u16string ConnectionTo(const std::u16string& name, const std::u16string& extra = u"") const {
    return u"Provider=SQLite;Data Source=" + (path_ / std::filesystem::path(name)).u16string() + extra;
  }

 private:
  std::filesystem::path path_;
};

// Stores one entry the way the edit dialog does for a new key.
inline bool InsertEntry(const std::shared_ptr<DbConnection>& connection, const std::u16string& id,
                        const std::u16string& key, const std::u16string& content) {
  CADORecordset rs;
  rs.SetConnection(connection);
  if (!rs.Open(connection, u"select * from kwo where id=?1", kStatementDefault, {DbValue(std::u16string(id))}))
    return false;
  rs.AddNew();
  rs.SetFieldText(0, id);
  rs.SetFieldText(1, key);
  rs.SetFieldText(2, content);
  const bool stored = rs.Update();
  rs.Close();
  return stored;
}

}  // namespace kwo::store::testing
