// What the converter writes: a complete new file in place of the old one, and
// nothing at all where -O names something that is no workbook of the user's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/converter/TestSupport.h"
#include "converter/WorkbookSchema.h"

namespace {

using namespace testsupport;

class OutputFile : public ::testing::Test {
 protected:
  RunResult Export(const std::string& workbook) {
    return RunProgram(dir.path(), {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O" + workbook});
  }
  RunResult Import(const std::string& target, const fs::path& workbook) {
    return RunProgram(dir.path(), {"alal", "-UP", "-I" + target, "-O", workbook.string()});
  }
  // Names in the folder: the converter leaves none of its own behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  ScratchDir dir;
  fs::path db = dir / "tmpDBTransfer.tmp";
};

TEST_F(OutputFile, AnExportRefusesAnOutputThatIsNoWorkbookFileAndChangesNothing) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  const std::string database = ReadBytes(db);
  WriteDatabase(dir / "other.db", {}, {MakeArticle(2, "b", 'B', 2)});
  const std::string other = ReadBytes(dir / "other.db");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir / "folder");
  WriteBytes(dir / "held.xlsx", "held by another program");
  const int holder = ::open((dir / "held.xlsx").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  const auto before = Names();

  const struct {
    std::string output, reason;
  } cases[] = {
      {"/dev/null", "/dev/null: not a regular file"},
      {(dir / "fifo").string(), "fifo: not a regular file"},  // refused before opening: no hang
      {(dir / "folder").string(), "folder: not a regular file"},
      {db.string(), "this is the database file being exported"},
      {"tmpDBTransfer.tmp", "this is the database file being exported"},
      {(dir / "other.db").string(), "other.db: holds a database, not a workbook"},
      {(dir / "held.xlsx").string(), "held.xlsx: in use by another program"},
  };
  for (const auto& [output, reason] : cases) {
    SCOPED_TRACE(output);
    const RunResult result = Export(output);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.errors.find(reason), std::string::npos) << result.errors;
    EXPECT_TRUE(result.HasLine("Destination file can not be opened!")) << result.errors;
  }
  ::close(holder);
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(ReadBytes(db), database);
  EXPECT_EQ(ReadBytes(dir / "other.db"), other);
  EXPECT_EQ(ReadBytes(dir / "held.xlsx"), "held by another program");
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(OutputFile, AnExportReplacesTheRealWorkbookBehindTheUsersLinkAndKeepsItsMode) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  fs::create_directory(dir / "books");
  const fs::path real = dir / "books" / "shop.xlsx";
  WriteBytes(real, "earlier workbook");
  ::chmod(real.c_str(), 0640);
  fs::create_symlink(real, dir / "shop.xlsx");
  const RunResult result = Export((dir / "shop.xlsx").string());
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_TRUE(fs::is_symlink(dir / "shop.xlsx"));
  EXPECT_EQ(ReadSheet(real, "ARTICLES", schema::kArticleColumnCount).size(), 2u);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms(0640));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "books"), fs::directory_iterator()), 1);
}

TEST_F(OutputFile, AnImportReplacesTheTargetOnlyWhenComplete) {
  const fs::path book = dir / "in.xlsx";
  WriteWorkbook(book, {{"DEPARTMENTS", DepartmentHeader(), {DepartmentCells(1, "D")}},
                       {"ARTICLES", ArticleHeader(), {ArticleCells(1, "A"), ArticleCells(2, "B")}}});
  WriteDatabase(db, {}, {MakeArticle(9, "old", 'A', 1)});
  ::chmod(db.c_str(), 0600);
  const std::string before = ReadBytes(db);

  // A typo in the workbook's name converts nothing and leaves the target.
  RunResult result = Import("tmpDBTransfer.tmp", dir / "no-such.xlsx");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadBytes(db), before);

  // Held by another program: refused before anything is read.
  const int holder = ::open(db.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  result = Import("tmpDBTransfer.tmp", book);
  ::close(holder);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("in use by another program"), std::string::npos) << result.errors;
  EXPECT_EQ(ReadBytes(db), before);
  EXPECT_EQ(Names(), (std::vector<std::string>{"in.xlsx", "tmpDBTransfer.tmp"}));

  result = Import("tmpDBTransfer.tmp", book);
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(ReadArticles(db).size(), 2u);
  EXPECT_EQ(fs::status(db).permissions() & fs::perms::all, fs::perms(0600));
  EXPECT_EQ(Names(), (std::vector<std::string>{"in.xlsx", "tmpDBTransfer.tmp"}));
}

}  // namespace
