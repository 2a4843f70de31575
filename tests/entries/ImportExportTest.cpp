#include <gtest/gtest.h>

#include "ExchangeTestUtil.h"
#include "base/ReplacingFile.h"
#include "support/TempDatabase.h"
#include "entries/ExchangeFile.h"
#include "entries/Exporter.h"
#include "entries/Importer.h"
#include "store/AdoErrors.h"
#include "text/Utf.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <cstdlib>

#include <csignal>
#endif

using kwo::entries::ExportFile;
using kwo::entries::ExportResult;
using kwo::entries::ImportEntries;
using kwo::entries::ImportFile;
using kwo::entries::ImportOutcomeText;
using kwo::entries::ImportResult;
using kwo::entries::ReadWholeFile;
using kwo::entries::testing::Gbk;
using kwo::testing::TempStore;
using Row = TempStore::Row;

namespace {

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  kwo::ReplacingFile file;
  ASSERT_TRUE(file.Create(path));
  ASSERT_TRUE(file.Write(bytes));
  ASSERT_TRUE(file.Close());
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes));
  return bytes;
}

}  // namespace

TEST(Import, InsertsNewKeysAndReplacesOnlyTheContentOfExistingOnes) {
  TempStore s;
  s.Put(u"A", u"old");
  s.Put(u"KEEP", u"untouched");
  const auto r = ImportEntries(s.database, s.recordset, Gbk(u"#a:\r\n新内容\r\n#B\r\n{x}\r\n#B:\r\nlater wins\r\n"));
  EXPECT_EQ(r.status, ImportResult::Status::Imported);
  EXPECT_EQ(r.stored, 3u);
  const auto rows = s.Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows.at(u"A"), (Row{u"11", u"新内容"}));
  EXPECT_EQ(rows.at(u"B"), (Row{u"12", u"later wins"}));
  EXPECT_EQ(rows.at(u"KEEP"), (Row{kwo::store::IdText(kwo::store::ShortKeyId(u"KEEP")), u"untouched"}));
}

// A key of more than six characters is cut to six; the closing notice names
// every cut, and counts the cut keys that replaced an entry that was there.
TEST(Import, CutKeysAreNamedAndTheOnesThatReplacedAnEntryCounted) {
  TempStore s;
  s.Put(u"HIJKLM", u"old");
  const auto r = ImportEntries(
      s.database, s.recordset,
      Gbk(u"#ABCDEFG:\r\nfirst\r\n#hijklmn\r\nnew\r\n#SHORT\r\nx\r\n#ABCDEFXY\r\nsecond\r\n"));
  EXPECT_EQ(r.status, ImportResult::Status::Imported);
  EXPECT_EQ(r.stored, 4u);
  using Cut = std::pair<std::u16string, std::u16string>;
  EXPECT_EQ(r.cutKeys,
            (std::vector<Cut>{{u"ABCDEFG", u"ABCDEF"}, {u"HIJKLMN", u"HIJKLM"}, {u"ABCDEFXY", u"ABCDEF"}}));
  EXPECT_EQ(r.cutKeysReplacing, 2u);  // HIJKLM was there; ABCDEF came earlier in the file
  EXPECT_EQ(s.Rows().at(u"HIJKLM").content, u"new");
  EXPECT_EQ(ImportOutcomeText(r),
            u"导入OK！\n\n速记符超过 6 个字符，已截为 6 个字符: ABCDEFG→ABCDEF、HIJKLMN→HIJKLM、ABCDEFXY→ABCDEF"
            u"\n其中 2 条截短后与已有的速记符相同，替换了那条速记的内容。");
}

TEST(Import, TableWithoutAUniqueIdGetsTheSameRows) {
  // A table made by another tool, without the primary key.
  TempStore s;
  s.database.Close();
  std::filesystem::remove(s.file);
  {
    kwo::store::DbConnection raw;
    kwo::store::DbError error;
    ASSERT_TRUE(raw.Open(kwo::testing::ConnectionStringFor(s.file), kwo::store::MissingFile::Create, error));
    ASSERT_TRUE(raw.Session()->Execute(u"drop table kwo", error));
    ASSERT_TRUE(raw.Session()->Execute(u"create table kwo(id INTEGER, shortkey TEXT, content TEXT)", error));
    ASSERT_TRUE(raw.Session()->Execute(u"insert into kwo values(11, 'A', 'old')", error));
  }
  ASSERT_TRUE(s.database.Open(kwo::testing::ConnectionStringFor(s.file)));
  const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nnew\r\n#B:\r\nb\r\n#A:\r\nnewer\r\n");
  EXPECT_EQ(r.stored, 3u);
  const auto rows = s.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows.at(u"A"), (Row{u"11", u"newer"}));
  EXPECT_EQ(rows.at(u"B"), (Row{u"12", u"b"}));
}

TEST(Import, PlainTextEntriesAreStoredEscaped) {
  TempStore s;
  ImportEntries(s.database, s.recordset, "#P\r\na\\b{ENTER}\r\n#Q:\r\na\\b{ENTER}\r\n");
  const auto rows = s.Rows();
  EXPECT_EQ(rows.at(u"P").content, u"a\\\\b\\{ENTER}");
  EXPECT_EQ(rows.at(u"Q").content, u"a\\b{ENTER}");
}

TEST(Import, NamesTheFirstKeysWhoseContentsHaveProblems) {
  TempStore s;
  std::string file = "#OK:\r\n{ENTER}\r\n#PLAIN\r\n{ENTR}\r\n";
  for (const char* key : {"W1", "W2", "W3", "W4", "W5", "W6"}) file += std::string("#") + key + ":\r\n{ENTR}\r\n";
  const auto r = ImportEntries(s.database, s.recordset, file);
  EXPECT_EQ(r.warnedKeys, (std::vector<std::u16string>{u"W1", u"W2", u"W3", u"W4", u"W5", u"W6"}));
  EXPECT_EQ(kwo::entries::ImportOutcomeText(r),
            u"导入OK！\n\n有 6 条速记的内容可能不会按原意发送：W1、W2、W3、W4、W5 等。\n请在“新增速记”中打开它们查看。");
  ImportResult clean;
  clean.stored = 1;
  EXPECT_EQ(kwo::entries::ImportOutcomeText(clean), u"导入OK！");
}

TEST(Import, SixCharacterKeysKeepTheirUnsignedId) {
  TempStore s;
  ImportEntries(s.database, s.recordset, "#ZZZZZZ:\r\nlast\r\n#TYTZAL:\r\nfirst above 2^31\r\n#ABCDEFGH\r\ncut\r\n");
  const auto rows = s.Rows();
  EXPECT_EQ(rows.at(u"ZZZZZZ"), (Row{u"2565726408", u"last"}));
  EXPECT_EQ(rows.at(u"TYTZAL"), (Row{u"2147483648", u"first above 2^31"}));
  EXPECT_EQ(rows.at(u"ABCDEF").content, u"cut");
}

TEST(Import, KeepsEntriesBeforeAFormatError) {
  TempStore s;
  const auto r = ImportEntries(s.database, s.recordset, "#A:\r\none\r\n#B-C:\r\ntwo\r\n#D:\r\nthree\r\n");
  EXPECT_EQ(r.status, ImportResult::Status::FormatError);
  EXPECT_EQ(r.errorMessage, u"第 3 行：#B-C:\n 速记符处定义格式错误");
  EXPECT_EQ(r.stored, 1u);
  EXPECT_EQ(ImportOutcomeText(r), u"导入了 1 条；出错处及以后的没有导入。");
  const auto rows = s.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.at(u"A").content, u"one");
}

TEST(Import, FailureTable) {
  {
    TempStore s;  // the first line is not a header: nothing imported
    const auto r = ImportEntries(s.database, s.recordset, "text\r\n#A:\r\nx\r\n");
    EXPECT_EQ(r.status, ImportResult::Status::FormatError);
    EXPECT_TRUE(s.Rows().empty());
  }
  {
    TempStore s;  // an empty key names nothing but the error itself
    const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nx\r\n#:\r\ny\r\n");
    EXPECT_EQ(r.errorMessage, u"第 3 行： 速记符处定义格式错误");
    EXPECT_EQ(s.Rows().size(), 1u);
  }
  {
    TempStore s;  // a file that cannot be opened changes nothing
    s.Put(u"A", u"x");
    const auto r = ImportFile(s.database, s.recordset, s.folder.path() / "missing.txt");
    EXPECT_EQ(r.status, ImportResult::Status::CannotOpen);
    EXPECT_EQ(s.Rows().size(), 1u);
  }
  {
    TempStore s;  // empty file, a lone header without line end
    EXPECT_EQ(ImportEntries(s.database, s.recordset, "").status, ImportResult::Status::Imported);
    EXPECT_EQ(ImportEntries(s.database, s.recordset, "#A:").status, ImportResult::Status::Imported);
    EXPECT_TRUE(s.Rows().empty());
  }
}

TEST(Import, StoresEveryEntryOrNone) {
  {
    TempStore s;  // a closed database
    s.database.Close();
    const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nx\r\n#B:\r\ny\r\n");
    EXPECT_EQ(r.status, ImportResult::Status::NotSaved);
    EXPECT_EQ(r.stored, 0u);
  }
  {
    // Another program holds the database longer than the busy timeout: the
    // import waits, gives up and stores nothing, rather than entry by entry.
    TempStore s(u";Busy Timeout=200");
    kwo::store::CADODataBase other;
    ASSERT_TRUE(other.Open(kwo::testing::ConnectionStringFor(s.file)));
    kwo::store::DbError error;
    ASSERT_TRUE(other.Connection()->Session()->Execute(u"begin exclusive", error));
    const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nx\r\n#B:\r\ny\r\n");
    EXPECT_EQ(r.status, ImportResult::Status::NotSaved);
    EXPECT_EQ(r.databaseError, u"database is locked");
    EXPECT_NE(ImportOutcomeText(r).find(u"正被其他程序占用"), std::u16string::npos);
    ASSERT_TRUE(other.CommitTrans());
    EXPECT_TRUE(s.Rows().empty());
  }
  {
    // A write refused in the middle rolls back the entries before it.
    TempStore s;
    s.Put(u"A", u"old");
    kwo::store::DbError error;
    ASSERT_TRUE(s.database.Connection()->Session()->Execute(
        u"create trigger refuse before insert on kwo when new.shortkey = 'C' begin select raise(abort, 'no C'); end",
        error));
    const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nnew\r\n#B:\r\nb\r\n#C:\r\nc\r\n#D:\r\nd\r\n");
    EXPECT_EQ(r.status, ImportResult::Status::NotSaved);
    EXPECT_EQ(r.databaseError, u"no C");
    EXPECT_EQ(r.stored, 0u);
    const auto rows = s.Rows();
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.at(u"A").content, u"old");
  }
}

TEST(Import, RefusedWhileTheFileIsRenamed) {
  // Writes would go into a file nobody opens again; under its name again it is written.
  TempStore s;
  s.Put(u"A", u"old");
  const std::filesystem::path moved = s.folder.path() / "moved.db";
  std::error_code renamed;
  std::filesystem::rename(s.file, moved, renamed);
  if (renamed) GTEST_SKIP() << "an open file cannot be renamed here (the Wine end-to-end test renames it)";
  const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nnew\r\n");
  EXPECT_EQ(r.databaseFailure, kwo::store::DbFailure::FileMoved);
  EXPECT_NE(ImportOutcomeText(r).find(u"改回原名"), std::u16string::npos);
  std::filesystem::rename(moved, s.file);
  EXPECT_EQ(ImportEntries(s.database, s.recordset, "#A:\r\nnew\r\n").status, ImportResult::Status::Imported);
  EXPECT_EQ(s.Rows().at(u"A").content, u"new");
}

TEST(Import, OutcomeTextSaysWhatWasImported) {
  const auto text = [](ImportResult::Status status, size_t stored, std::u16string unconverted = {}) {
    ImportResult r;
    r.status = status;
    r.stored = stored;
    r.unconvertedKey = std::move(unconverted);
    return ImportOutcomeText(r);
  };
  using S = ImportResult::Status;
  EXPECT_EQ(text(S::Imported, 5), u"导入OK！");
  EXPECT_EQ(text(S::Imported, 0), u"文件里没有速记，什么也没有导入。");
  EXPECT_EQ(text(S::FormatError, 12), u"导入了 12 条；出错处及以后的没有导入。");
  EXPECT_EQ(text(S::FormatError, 0), u"什么也没有导入：第一条速记就有格式错误。");
  EXPECT_EQ(text(S::Imported, 3, u"AB"), u"导入OK！\n速记符 AB 的内容里有不能转换成文字的字节，请检查。");
  EXPECT_NE(text(S::NotSaved, 0).find(u"什么也没有导入"), std::u16string::npos);
  // The first entry with bytes that have no character is named; the others are stored all the same.
  TempStore s;
  const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nok\r\n#B:\r\nbad\x81\x7F\r\n#C:\r\n\xFF\r\n");
  EXPECT_EQ(r.stored, 3u);
  EXPECT_EQ(r.unconvertedKey, u"B");
}

TEST(Import, RefusedCommitIsReportedAndStoresNothing) {
  TempStore s(u";Busy Timeout=100");
  for (int i = 0; i < 200; ++i) s.Put(u"K" + kwo::text::Ascii(std::to_string(i)), u"seed");
  // A second connection in the middle of reading a long result keeps its read
  // lock, so the import can write but not commit.
  kwo::store::CADODataBase reader;
  ASSERT_TRUE(reader.Open(kwo::testing::ConnectionStringFor(s.file, u";Busy Timeout=100")));
  kwo::store::CADORecordset rs;
  ASSERT_TRUE(kwo::store::OpenListing(rs, reader.Connection()));
  ASSERT_FALSE(rs.AtEnd());

  const auto r = ImportEntries(s.database, s.recordset, "#A:\r\nx\r\n#K1:\r\nchanged\r\n");
  EXPECT_EQ(r.status, ImportResult::Status::NotSaved);
  EXPECT_EQ(r.stored, 0u);
  rs.Close();
  const auto rows = s.Rows();
  EXPECT_EQ(rows.size(), 200u);
  EXPECT_EQ(rows.count(u"A"), 0u);
  EXPECT_EQ(rows.at(u"K1").content, u"seed");
}

TEST(Import, ReadsAFileWithAChineseName) {
  TempStore s;
  const auto path = s.folder.path() / std::filesystem::path(u"导入 文件.txt");
  WriteBytes(path, Gbk(u"#ZW:\r\n中文内容\r\n"));
  EXPECT_EQ(ImportFile(s.database, s.recordset, path).stored, 1u);
  EXPECT_EQ(s.Rows().at(u"ZW").content, u"中文内容");
}

TEST(Export, WritesEveryEntryInIdOrder) {
  TempStore s;
  s.Put(u"AA", u"#head\r\nx#\r\n");
  s.Put(u"B", u"");
  s.Put(u"0", u"中\rlone\nbreaks");
  const auto path = s.folder.path() / "out.txt";
  const auto r = ExportFile(s.database, s.recordset, path);
  EXPECT_EQ(r.status, ExportResult::Status::Exported);
  EXPECT_EQ(r.entries, 3u);
  EXPECT_FALSE(r.utf8);
  EXPECT_EQ(ReadBytes(path), Gbk(u"#0:\r\n中\r\nlone\r\nbreaks\r\n#B:\r\n\r\n#AA:\r\n\\#head\r\nx#\r\n\r\n"));
}

TEST(Export, ThenImportLeavesEveryEntryUnchanged) {
  const std::pair<std::u16string, std::u16string> entries[] = {
      {u"1", u"中文内容，全角标点。"},
      {u"A", u""},
      {u"AB", u"ends with a break\r\n"},
      {u"C", u"\r\n\r\n"},
      {u"HASH", u"#first\r\n#\r\nmid # line\r\n\\\\#two backslashes"},
      {u"KS", u"{ENTER}\\{x}\\\\{DELAY 50}"},
      {u"TRAIL", u"乗俓僜刓匼\\"},
      {u"ZZZZZZ", u"六个字符"},
      {u"LONG", std::u16string(5000, u'长') + u"\r\n" + std::u16string(2000, u'x') + u"#B:"},
  };
  for (const bool withEmoji : {false, true}) {
    SCOPED_TRACE(withEmoji ? "UTF-8" : "code page 936");
    TempStore source;
    for (const auto& [key, content] : entries) source.Put(key, content);
    if (withEmoji) source.Put(u"EMOJI", u"笑\U0001F600 and \u3400");
    const auto path = source.folder.path() / "round.txt";
    const auto exported = ExportFile(source.database, source.recordset, path);
    ASSERT_EQ(exported.status, ExportResult::Status::Exported);
    EXPECT_EQ(exported.utf8, withEmoji);
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) == 0, withEmoji);
    EXPECT_EQ(bytes.find('?'), std::string::npos);

    TempStore target;
    const auto imported = ImportFile(target.database, target.recordset, path);
    EXPECT_EQ(imported.status, ImportResult::Status::Imported);
    EXPECT_EQ(target.Rows(), source.Rows());
  }
}

TEST(Export, FailureTable) {
  TempStore s;
  s.Put(u"A", u"x");
  EXPECT_EQ(ExportFile(s.database, s.recordset, s.folder.path() / "no such folder" / "out.txt").status,
            ExportResult::Status::CannotCreate);

  // An empty table gives an empty file.
  TempStore empty;
  const auto emptyPath = empty.folder.path() / "empty.txt";
  EXPECT_EQ(ExportFile(empty.database, empty.recordset, emptyPath).status, ExportResult::Status::Exported);
  EXPECT_EQ(ReadBytes(emptyPath), "");

  // A table that cannot be read leaves an existing file as it was, and no temporary file.
  const auto path = s.folder.path() / "out.txt";
  WriteBytes(path, "old contents");
  s.database.Close();
  EXPECT_EQ(ExportFile(s.database, s.recordset, path).status, ExportResult::Status::QueryFailed);
  EXPECT_EQ(ReadBytes(path), "old contents");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.folder.path()), {}), 2);  // kwo.db and out.txt
}

TEST(Export, FileThatCannotBeWrittenCompletelyIsReportedAndKeepsTheOldOne) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a file size limit";
#else
  // A file size limit makes writes fail as a full disk does: past 1,000 bytes,
  // and, with a limit of 0, only when the few bytes of the buffer are flushed.
  for (const auto& [limit, size] : {std::pair<rlim_t, size_t>{1000, 100000}, {0, 1}}) {
    TempStore s;
    s.Put(u"A", std::u16string(size, u'x'));
    const auto path = s.folder.path() / "out.txt";
    WriteBytes(path, "old contents");
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit low = old;
    low.rlim_cur = limit;
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &low);
    const auto status = ExportFile(s.database, s.recordset, path).status;
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(status, ExportResult::Status::WriteFailed);
    EXPECT_EQ(ReadBytes(path), "old contents");
    EXPECT_FALSE(std::filesystem::exists(s.folder.path() / "out.txt.tmp"));
  }
#endif
}

// A read-only file that the user lets export replace stays read-only; a file
// the system will not let go (immutable, which holds for root too) is
// reported as refused and stays as it was, with no temporary file left.
TEST(Export, ReadOnlyFileStaysReadOnlyAndARefusedReplaceIsToldApart) {
  using kwo::entries::FileState;
  using kwo::entries::StateOf;
  TempStore s;
  s.Put(u"A", u"x");
  const auto path = s.folder.path() / "out.txt";
  EXPECT_EQ(StateOf(path), FileState::Missing);
  WriteBytes(path, "old contents");
  EXPECT_EQ(StateOf(path), FileState::Writable);
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_EQ(StateOf(path), FileState::ReadOnly);
  EXPECT_EQ(ExportFile(s.database, s.recordset, path).status, ExportResult::Status::Exported);
  EXPECT_EQ(ReadBytes(path), Gbk(u"#A:\r\nx\r\n"));
  EXPECT_EQ(StateOf(path), FileState::ReadOnly);
#ifdef _WIN32
  GTEST_SKIP() << "needs chattr";
#else
  const std::string quoted = "'" + path.string() + "'";
  if (std::system(("chattr +i " + quoted + " 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "chattr +i not allowed here";
  s.Put(u"B", u"y");
  const auto status = ExportFile(s.database, s.recordset, path).status;
  std::system(("chattr -i " + quoted).c_str());
  EXPECT_EQ(status, ExportResult::Status::Refused);
  EXPECT_EQ(ReadBytes(path), Gbk(u"#A:\r\nx\r\n"));
  EXPECT_FALSE(fs::exists(s.folder.path() / "out.txt.tmp"));
#endif
}

TEST(Export, TableThatFailsPartWayIsNotReportedAsExported) {
  TempStore s;
  for (int i = 0; i < 100; ++i) s.Put(u"K" + kwo::text::Ascii(std::to_string(i)), u"x");
  // The table becomes a view whose row K90 cannot be computed: the listing
  // opens, gives its first rows and fails when it reaches that row.
  kwo::store::DbError error;
  ASSERT_TRUE(s.database.Connection()->Session()->Execute(
      u"alter table kwo rename to entries;"
      u"create view kwo as select id, shortkey,"
      u" case when shortkey = 'K90' then abs(-9223372036854775807 - 1) else content end as content from entries",
      error));
  const auto path = s.folder.path() / "out.txt";
  WriteBytes(path, "old contents");
  const ExportResult result = ExportFile(s.database, s.recordset, path);
  EXPECT_EQ(result.status, ExportResult::Status::QueryFailed);
  // The user is told why, in the engine's words.
  EXPECT_NE(result.reason.find(u"integer overflow"), std::u16string::npos) << kwo::text::Utf16ToUtf8(result.reason);
  EXPECT_EQ(ReadBytes(path), "old contents");
}
