#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/ReplacingFile.h"
#include "support/TempFolder.h"

namespace kwo {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

bool Writable(const fs::path& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

// What is at the path before, how far the writer gets, and what is there after.
TEST(ReplacingFile, EveryStepLeavesEitherTheOldFileOrTheNewOne) {
  enum class Before { Missing, Writable, ReadOnly, TempIsAFolder, TargetIsAFolder };
  enum class Until { Close, WriteOnly, FlushOnly };
  struct Case {
    const char* name;
    Before before;
    Until until;
    bool closed;
    ReplacingFile::Step failed;
    const char* after;  // the target's content; nullptr: a folder is still there
    bool tempLeft;
  };
  const Case cases[] = {
      {"new file", Before::Missing, Until::Close, true, ReplacingFile::Step::None, "new", false},
      {"replaced", Before::Writable, Until::Close, true, ReplacingFile::Step::None, "new", false},
      {"read-only replaced, stays read-only", Before::ReadOnly, Until::Close, true, ReplacingFile::Step::None, "new",
       false},
      {"temporary file cannot be made", Before::TempIsAFolder, Until::Close, false, ReplacingFile::Step::Create,
       "old", true},
      {"target cannot be replaced", Before::TargetIsAFolder, Until::Close, false, ReplacingFile::Step::Replace,
       nullptr, false},
      {"abandoned while written", Before::Writable, Until::WriteOnly, false, ReplacingFile::Step::None, "old", false},
      {"flushed, then a crash", Before::Writable, Until::FlushOnly, false, ReplacingFile::Step::None, "old", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const fs::path path = folder / "kwo.ini";
    const fs::path temp = TempPathFor(path);
    EXPECT_EQ(temp, folder / "kwo.ini.tmp");
    switch (c.before) {
      case Before::Missing: break;
      case Before::Writable: WriteBytes(path, "old"); break;
      case Before::ReadOnly:
        WriteBytes(path, "old");
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        break;
      case Before::TempIsAFolder:
        WriteBytes(path, "old");
        fs::create_directory(temp);
        break;
      case Before::TargetIsAFolder:
        fs::create_directory(path);
        WriteBytes(path / "inside", "x");
        break;
    }
    bool closed = false;
    ReplacingFile::Step failed = ReplacingFile::Step::None;
    {
      ReplacingFile file;
      const bool created = file.Create(path);
      EXPECT_EQ(created, c.failed != ReplacingFile::Step::Create);
      EXPECT_EQ(file.IsOpen(), created);
      if (c.until == Until::Close) {
        closed = file.Write("ne") && file.Write("w") && file.Close();
      } else {
        EXPECT_TRUE(file.Write("new"));
        if (c.until == Until::FlushOnly) {
          EXPECT_TRUE(file.Flush());
        }
      }
      failed = file.FailedStep();
      if (failed != ReplacingFile::Step::None) {
        EXPECT_NE(file.SystemError(), 0u);
        EXPECT_EQ(file.FailedPath(), failed == ReplacingFile::Step::Replace ? path : temp);
      }
      EXPECT_FALSE(file.IsOpen() && c.until == Until::Close);
    }
    EXPECT_EQ(closed, c.closed);
    EXPECT_EQ(failed, c.failed);
    if (c.after) {
      EXPECT_EQ(ReadBytes(path), c.after);
    } else {
      EXPECT_TRUE(fs::is_directory(path));
    }
    EXPECT_EQ(fs::exists(temp), c.tempLeft);
    if (c.until == Until::FlushOnly) {
      EXPECT_EQ(ReadBytes(temp), "new");
    }
    if (c.before == Before::ReadOnly) {
      EXPECT_FALSE(Writable(path));
    }
    if (c.before == Before::Writable && c.closed) {
      EXPECT_TRUE(Writable(path));
    }
    if (c.before == Before::ReadOnly) fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  }
}

}  // namespace
}  // namespace kwo
