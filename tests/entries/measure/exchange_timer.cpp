// Times the import and export of 100,000 entries through the code that the
// import and export commands run (ImportFile, ExportFile), and the parts of
// their path on their own: reading the file, decoding it, checking the
// contents, the database's statements, encoding the file. Run under Wine by
// scripts/measure/exchange_wine.sh next to psql's \copy.
//   exchange_timer.exe CONNECTION_STRING FOLDER REPEATS
// Writes FOLDER\entries.txt and FOLDER\entries.csv (the same entries for
// psql) and prints one line "name milliseconds" per part and repeat.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/ExchangeEntries.h"
#include "base/ReplacingFile.h"
#include "entries/ExchangeFile.h"
#include "entries/ExchangeReader.h"
#include "entries/ExchangeWriter.h"
#include "entries/Exporter.h"
#include "entries/Importer.h"
#include "keys/SequenceCheck.h"
#include "store/AdoDataBase.h"
#include "store/ShorthandTable.h"
#include "text/Utf.h"

namespace {

namespace fs = std::filesystem;
constexpr int kEntries = kwo::bench::kExchangeEntries;
using kwo::bench::ContentOf;
using kwo::bench::CsvField;
using kwo::bench::KeyOf;

void Write(const fs::path& path, const std::string& bytes) {
  kwo::ReplacingFile file;
  if (!file.Create(path) || !file.Write(bytes) || !file.Close()) {
    std::fprintf(stderr, "cannot write %ls\n", path.c_str());
    std::exit(1);
  }
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Report(const char* name, double started) {
  std::printf("%s %.1f\n", name, Now() - started);
  std::fflush(stdout);
}

// A fresh, empty table: dropped, and made again by the next Open.
void Fresh(kwo::store::CADODataBase& database, const std::u16string& connection) {
  kwo::store::DbError ignored;
  if (!database.Open(connection)) std::exit(1);
  database.Connection()->Session()->Execute(u"drop table if exists kwo", ignored);
  if (!database.Open(u"")) std::exit(1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: exchange_timer CONNECTION_STRING FOLDER REPEATS\n");
    return 2;
  }
  const std::u16string connection = kwo::text::FromWide(argv[1]);
  const fs::path folder = argv[2];
  const int repeats = _wtoi(argv[3]);
  {
    kwo::entries::ExchangeWriter writer;
    std::string csv;
    for (int i = 0; i < kEntries; ++i) {
      const std::u16string key = KeyOf(i), content = ContentOf(i);
      writer.Add(key, content);
      csv += std::to_string(kwo::store::ShortKeyId(key)) + "," + kwo::text::Utf16ToUtf8(key) + "," +
             CsvField(kwo::text::Utf16ToUtf8(content)) + "\n";
    }
    Write(folder / "entries.txt", writer.Bytes());
    Write(folder / "entries.csv", csv);
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (int r = 0; r < repeats; ++r) {
    // The parts of the import's path without the database.
    double t = Now();
    std::string bytes;
    if (!kwo::entries::ReadWholeFile(folder / "entries.txt", bytes)) return 1;
    Report("read-file", t);
    t = Now();
    std::vector<kwo::entries::ExchangeEntry> entries;
    {
      kwo::entries::ExchangeReader reader(bytes);
      kwo::entries::ExchangeEntry entry;
      while (reader.Next(entry) == kwo::entries::ExchangeReader::Result::Entry) entries.push_back(entry);
    }
    Report("decode", t);
    t = Now();
    size_t warned = 0;
    for (const auto& entry : entries)
      if (kwo::keys::CheckKeySequence(entry.content).kind != kwo::keys::SequenceProblemKind::None) ++warned;
    Report("check", t);

    // The whole import, as the command runs it.
    {
      kwo::store::CADODataBase database;
      Fresh(database, connection);
      kwo::store::CADORecordset rs;
      rs.SetConnection(database.Connection());
      t = Now();
      const auto result = kwo::entries::ImportFile(database, rs, folder / "entries.txt");
      Report("import", t);
      if (result.stored != kEntries) return 1;

      // The export's parts: the rows read, then the file's bytes made.
      t = Now();
      kwo::entries::ExchangeWriter writer;
      kwo::store::DbError error;
      kwo::store::ReadEntries(
          database.Connection(),
          [&writer](const std::u16string& key, const std::u16string& content) { writer.Add(key, content); }, error);
      Report("read-rows", t);
      t = Now();
      const std::string encoded = writer.Bytes();
      Report("encode", t);

      // The whole export, as the command runs it.
      t = Now();
      const auto exported = kwo::entries::ExportFile(database, rs, folder / "exported.txt");
      Report("export", t);
      if (exported.entries != kEntries) return 1;
    }
  }
  return 0;
}
