#pragma once
// What the store benchmarks share: a SQLite kwo.db in a fresh temporary
// folder that goes with it, and one table per size, made at first use and
// kept for the run.
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "store/AdoDataBase.h"

namespace kwo::bench {

struct BenchDatabase {
  std::filesystem::path file;
  kwo::store::CADODataBase db;

  explicit BenchDatabase(const std::string& folderPrefix) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto folder = std::filesystem::temp_directory_path() / (folderPrefix + std::to_string(stamp));
    std::filesystem::create_directories(folder);
    file = folder / "kwo.db";
    db.Open(u"Provider=SQLite;Data Source=" + file.u16string());
  }
  ~BenchDatabase() {
    db.Close();
    std::error_code ignored;
    std::filesystem::remove_all(file.parent_path(), ignored);
  }
  BenchDatabase(const BenchDatabase&) = delete;
  BenchDatabase& operator=(const BenchDatabase&) = delete;
};

template <class Table>
Table& TableOf(size_t size) {
  static std::map<size_t, std::unique_ptr<Table>> tables;
  auto& table = tables[size];
  if (!table) table = std::make_unique<Table>(size);
  return *table;
}

}  // namespace kwo::bench
