// Import and export of 100,000 entries through kwo's exchange code, next to
// the sqlite3 command-line tool loading and dumping the same entries into the
// same table. Run: scripts/measure/exchange.sh (prints the ratios).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/ExchangeEntries.h"
#include "base/ReplacingFile.h"
#include "entries/ExchangeFile.h"
#include "entries/ExchangeWriter.h"
#include "entries/Exporter.h"
#include "entries/Importer.h"
#include "store/AdoDataBase.h"
#include "store/ContentSearch.h"
#include "store/ShorthandTable.h"
#include "text/Utf.h"

namespace {

namespace fs = std::filesystem;
constexpr int kEntries = kwo::bench::kExchangeEntries;
using kwo::bench::ContentOf;
using kwo::bench::CsvField;
using kwo::bench::KeyOf;

// The same entries as an exchange file (code page 936) and as CSV for sqlite3.
struct Files {
  fs::path folder = fs::temp_directory_path() / ("kwo-bench-exchange-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::path exchange = folder / "entries.txt";
  fs::path csv = folder / "entries.csv";
  Files() {
    fs::create_directories(folder);
    kwo::entries::ExchangeWriter writer;
    std::string csvText;
    for (int i = 0; i < kEntries; ++i) {
      const std::u16string key = KeyOf(i);
      const std::u16string content = ContentOf(i);
      writer.Add(key, content);
      csvText += std::to_string(kwo::store::ShortKeyId(key)) + "," + kwo::text::Utf16ToUtf8(key) + "," +
                 CsvField(kwo::text::Utf16ToUtf8(content)) + "\n";
    }
    Write(exchange, writer.Bytes());
    Write(csv, csvText);
  }
  ~Files() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  static void Write(const fs::path& path, const std::string& bytes) {
    kwo::ReplacingFile file;
    if (!file.Create(path) || !file.Write(bytes) || !file.Close()) std::abort();
  }
  fs::path FreshDatabase(const char* name) const {
    const fs::path db = folder / name;
    fs::remove(db);
    return db;
  }
};

const Files& TheFiles() {
  static Files files;
  return files;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::abort();
}

// The table as the store creates it, and its journal settings.
const char* kSchema =
    "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; "
    "create table if not exists kwo(id INTEGER PRIMARY KEY, shortkey TEXT, content TEXT);";

void Open(kwo::store::CADODataBase& database, const fs::path& db) {
  if (!database.Open(u"Provider=SQLite;Data Source=\"" + db.u16string() + u"\"")) std::abort();
}

void KwoImport(benchmark::State& state) {
  const Files& files = TheFiles();
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path db = files.FreshDatabase("import.db");
    kwo::store::CADODataBase database;
    Open(database, db);
    kwo::store::CADORecordset rs;
    rs.SetConnection(database.Connection());
    state.ResumeTiming();
    const auto result = kwo::entries::ImportFile(database, rs, files.exchange);
    if (result.stored != kEntries) state.SkipWithError("not every entry was stored");
  }
  state.counters["entries/s"] = benchmark::Counter(kEntries, benchmark::Counter::kIsIterationInvariantRate);
}

void Sqlite3CliLoad(benchmark::State& state) {
  const Files& files = TheFiles();
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path db = files.FreshDatabase("cli.db");
    state.ResumeTiming();
    Shell("sqlite3 -batch '" + db.string() + "' \"" + kSchema + "\" \".import --csv '" + files.csv.string() +
          "' kwo\" >/dev/null");
  }
  state.counters["entries/s"] = benchmark::Counter(kEntries, benchmark::Counter::kIsIterationInvariantRate);
}

void KwoExport(benchmark::State& state) {
  const Files& files = TheFiles();
  const fs::path db = files.FreshDatabase("export.db");
  kwo::store::CADODataBase database;
  Open(database, db);
  kwo::store::CADORecordset rs;
  rs.SetConnection(database.Connection());
  kwo::entries::ImportFile(database, rs, files.exchange);
  const fs::path out = files.folder / "exported.txt";
  for (auto _ : state) {
    const auto result = kwo::entries::ExportFile(database, rs, out);
    if (result.entries != kEntries) state.SkipWithError("not every entry was written");
  }
  state.counters["entries/s"] = benchmark::Counter(kEntries, benchmark::Counter::kIsIterationInvariantRate);
}

void Sqlite3CliDump(benchmark::State& state) {
  const Files& files = TheFiles();
  const fs::path db = files.FreshDatabase("dump.db");
  Shell("sqlite3 -batch '" + db.string() + "' \"" + kSchema + "\" \".import --csv '" + files.csv.string() +
        "' kwo\" >/dev/null");
  {
    // The tool loaded the same 100,000 entries.
    kwo::store::CADODataBase database;
    Open(database, db);
    kwo::store::CADORecordset rs;
    if (!kwo::store::OpenListing(rs, database.Connection()) || rs.RecordCount() != kEntries)
      state.SkipWithError("sqlite3 did not load every entry");
  }
  const fs::path out = files.folder / "dumped.csv";
  for (auto _ : state) {
    Shell("sqlite3 -batch -csv '" + db.string() + "' \".once '" + out.string() +
          "'\" \"select * from kwo order by id;\"");
  }
  state.counters["entries/s"] = benchmark::Counter(kEntries, benchmark::Counter::kIsIterationInvariantRate);
}

// The same on PostgreSQL through ODBC, next to psql's \copy, when
// KWO_PG_CONN names a server (scripts/measure/postgres.sh starts one).
const char* PgConnection() { return std::getenv("KWO_PG_CONN"); }

void PgFresh(kwo::store::CADODataBase& database) {
  if (!database.Open(kwo::text::Utf8ToUtf16(PgConnection()))) std::abort();
  kwo::store::DbError ignored;
  database.Connection()->Session()->Execute(u"drop table if exists kwo", ignored);
  if (!database.Open(u"")) std::abort();
}

void Psql(const std::string& command) {
  Shell(std::string(std::getenv("KWO_PG_PSQL")) + " -c \"" + command + "\" >/dev/null");
}

void PgImport(benchmark::State& state) {
  const Files& files = TheFiles();
  for (auto _ : state) {
    state.PauseTiming();
    kwo::store::CADODataBase database;
    PgFresh(database);
    kwo::store::CADORecordset rs;
    rs.SetConnection(database.Connection());
    state.ResumeTiming();
    const auto result = kwo::entries::ImportFile(database, rs, files.exchange);
    if (result.stored != kEntries) state.SkipWithError("not every entry was stored");
  }
}

void PsqlCopyIn(benchmark::State& state) {
  const Files& files = TheFiles();
  for (auto _ : state) {
    state.PauseTiming();
    Psql("drop table if exists kwo");
    Psql("create table kwo(id bigint primary key, shortkey text, content text)");
    state.ResumeTiming();
    Psql("\\copy kwo from '" + files.csv.string() + "' csv");
  }
}

void PgExport(benchmark::State& state) {
  const Files& files = TheFiles();
  kwo::store::CADODataBase database;
  PgFresh(database);
  kwo::store::CADORecordset rs;
  rs.SetConnection(database.Connection());
  kwo::entries::ImportFile(database, rs, files.exchange);
  const fs::path out = files.folder / "pg-exported.txt";
  for (auto _ : state) {
    const auto result = kwo::entries::ExportFile(database, rs, out);
    if (result.entries != kEntries) state.SkipWithError("not every entry was written");
  }
}

void PsqlCopyOut(benchmark::State& state) {
  const Files& files = TheFiles();
  const std::string out = (files.folder / "pg-dumped.csv").string();
  for (auto _ : state) Psql("\\copy (select * from kwo order by id) to '" + out + "' csv");
}

// One keystroke of the main dialog at 100,000 entries: the exact lookup and
// the prefix listing of up to 37 rows, for keys of one to four characters.
void PgKeystroke(benchmark::State& state) {
  kwo::store::CADODataBase database;
  if (!database.Open(kwo::text::Utf8ToUtf16(PgConnection()))) std::abort();
  kwo::store::CADORecordset rs;
  rs.SetConnection(database.Connection());
  const auto connection = database.Connection();
  size_t n = 0;
  for (auto _ : state) {
    const std::u16string key = KeyOf(static_cast<int>((n * 7919) % kEntries)).substr(0, 1 + n % 4);
    ++n;
    std::u16string text;
    if (kwo::store::OpenLookup(rs, connection, kwo::store::ShortKeyId(key)) && rs.RecordCount() != 0)
      rs.FieldText(kwo::store::kColumnContent, text);
    if (kwo::store::OpenPrefix(rs, connection, key)) {
      const uint32_t count = rs.RecordCount();
      for (uint32_t i = 0; i < count; ++i) {
        rs.FieldText(kwo::store::kColumnKey, text);
        rs.FieldText(kwo::store::kColumnContent, text);
        rs.MoveNext();
      }
      rs.Close();
    }
  }
}

// Content search at 100,000 entries, one keystroke at a time: each iteration
// finds the next text of a word typed letter by letter (the list's query).
void PgContentSearch(benchmark::State& state, std::vector<std::u16string> typed) {
  kwo::store::CADODataBase database;
  if (!database.Open(kwo::text::Utf8ToUtf16(PgConnection()))) std::abort();
  const auto connection = database.Connection();
  kwo::store::ContentSearch search;
  std::vector<kwo::store::FoundEntry> found;
  size_t n = 0;
  for (auto _ : state) {
    kwo::store::DbError error;
    if (!search.Find(connection, typed[n++ % typed.size()], found, error)) state.SkipWithError("the search failed");
  }
}

[[maybe_unused]] const bool kPgRegistered = [] {
  if (!PgConnection()) return false;
  // PgExport leaves the 100,000 entries that PgKeystroke searches.
  benchmark::RegisterBenchmark("PgImport", PgImport)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
  benchmark::RegisterBenchmark("PsqlCopyIn", PsqlCopyIn)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
  benchmark::RegisterBenchmark("PgExport", PgExport)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
  benchmark::RegisterBenchmark("PsqlCopyOut", PsqlCopyOut)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
  benchmark::RegisterBenchmark("PgKeystroke", PgKeystroke)->Unit(benchmark::kMicrosecond)->UseRealTime();
  // A word found in many entries, one in a few, one in none; Latin letters, digits, Chinese.
  const std::pair<const char*, std::vector<std::u16string>> typed[] = {
      {"PgContentSearch/latin", {u"E", u"EN", u"ENT", u"ENTE", u"ENTER", u"x", u"xy", u"xyz", u"xyzq"}},
      {"PgContentSearch/digits", {u"9", u"99", u"999", u"9999", u"99999", u"999999"}},
      {"PgContentSearch/chinese", {u"第", u"第二", u"第二行", u"第二行 #9", u"第二行 #99", u"第二行 #9999", u"您好您"}},
  };
  for (const auto& [name, texts] : typed)
    benchmark::RegisterBenchmark(name, PgContentSearch, texts)->Unit(benchmark::kMicrosecond)->UseRealTime();
  return true;
}();

}  // namespace

BENCHMARK(KwoImport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(Sqlite3CliLoad)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(KwoExport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(Sqlite3CliDump)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
