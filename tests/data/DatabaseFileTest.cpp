#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/ArticleSlots.h"
#include "data/DatabaseFile.h"
#include "tests/data/TempDir.h"

namespace {

ArticleRecord Article(std::uint32_t plu, const char* name) {
  ArticleRecord record = ZeroArticle();
  record.PLUNO = plu;
  SetName(record.NAME, name);
  record.IN_USE = 1;
  return record;
}

// A database with the given article slots; plu 0 leaves the slot free.
std::string MakeDatabase(const TempDir& dir, const std::string& name, const std::vector<std::uint32_t>& plus) {
  const std::string path = dir.File(name);
  DatabaseFile file;
  EXPECT_EQ(file.OpenDatabase(path, false).result, OpenResult::Created);
  EXPECT_TRUE(file.WriteNewContents('B'));
  for (std::size_t i = 0; i < plus.size(); ++i) {
    EXPECT_TRUE(file.WriteArticle(static_cast<uint32_t>(i + 1), plus[i] ? Article(plus[i], "x") : ZeroArticle()));
  }
  return path;
}

std::vector<std::uint32_t> LoadedSlots(const DatabaseFile& file) {
  ArticleTable table;
  file.LoadTable(table);
  std::vector<std::uint32_t> slots;
  for (std::size_t i = 0; i < table.Count(); ++i) slots.push_back(table.Entry(i).recordNo);
  return slots;
}

}  // namespace

TEST(DatabaseFile, NewFileHasHeaderAndTwoHundredDefaultDepartments) {
  TempDir dir;
  const std::string path = dir.File("new.db");
  DatabaseFile file;
  const OpenOutcome outcome = file.OpenDatabase(path, false);
  EXPECT_EQ(outcome.result, OpenResult::Created);
  EXPECT_TRUE(outcome.message.empty());
  ASSERT_TRUE(file.WriteNewContents('B'));
  EXPECT_EQ(std::filesystem::file_size(path), 25620u);
  EXPECT_TRUE(file.CheckHeader());

  const auto bytes = ReadBytes(path);
  EXPECT_EQ(std::memcmp(bytes.data(), "VorTabel\0\0BASE1.20\0\0", 20), 0);

  DepartmentRecord department;
  ASSERT_EQ(file.ReadDepartment(199, department), ReadStatus::Ok);
  EXPECT_EQ(department.DEPTNO, 200u);
  EXPECT_EQ(NameOf(department.NAME), "Department 200");
  EXPECT_EQ(department.TAX_GROUP, 'B');
  EXPECT_EQ(department.OPT_FRACT_QTY, 1);
  EXPECT_EQ(department.SING_PRICE, 0.0);
  EXPECT_EQ(department.downloaded, 0);

  ArticleTable table;
  const LoadOutcome load = file.LoadTable(table);
  EXPECT_EQ(load.loaded, 0u);
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(file.FindFreeSlot(), 1u);
}

TEST(DatabaseFile, HeaderCheck) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {});
  auto bytes = ReadBytes(path);

  // Bytes 9 and 19 are padding that is never examined.
  bytes[9] = 0x55;
  bytes[19] = 0xAA;
  WriteBytes(path, bytes);
  DatabaseFile file;
  EXPECT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  file.Close();

  for (std::size_t position : {0u, 7u, 8u, 10u, 17u, 18u}) {
    auto broken = bytes;
    broken[position] ^= 0x01;
    WriteBytes(path, broken);
    const OpenOutcome outcome = file.OpenDatabase(path, false);
    EXPECT_EQ(outcome.result, OpenResult::WrongHeader) << "byte " << position;
    EXPECT_EQ(outcome.message, "Incorrect File!");
    EXPECT_FALSE(file.IsOpen());
  }

  for (std::size_t length : {0u, 1u, 19u}) {
    WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.begin() + length));
    EXPECT_EQ(file.OpenDatabase(path, false).result, OpenResult::WrongHeader) << length;
  }
}

TEST(DatabaseFile, ShortFilesReadAsZeroRecords) {
  TempDir dir;
  const std::string full = MakeDatabase(dir, "full.db", {});
  auto bytes = ReadBytes(full);
  // A valid header and three department records: 403 bytes.
  bytes.resize(20 + 3 * 128 + 19);
  const std::string path = dir.File("short.db");
  WriteBytes(path, bytes);

  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  DepartmentRecord department;
  EXPECT_EQ(file.ReadDepartment(2, department), ReadStatus::Ok);
  EXPECT_EQ(department.DEPTNO, 3u);
  EXPECT_EQ(file.ReadDepartment(3, department), ReadStatus::Short);
  EXPECT_EQ(department.DEPTNO, 0u);
  EXPECT_EQ(NameOf(department.NAME), "");
  EXPECT_EQ(file.ReadDepartment(250, department), ReadStatus::Short);

  ArticleRecord article;
  EXPECT_EQ(file.ReadArticle(1, article), ReadStatus::Short);
  EXPECT_TRUE(IsAllZero(article));
  EXPECT_EQ(LoadedSlots(file).size(), 0u);
}

TEST(DatabaseFile, FreeSlotsAreSkippedOnLoadAndReused) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {1, 0, 3, 0, 5});
  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  EXPECT_EQ(LoadedSlots(file), (std::vector<std::uint32_t>{1, 3, 5}));
  EXPECT_EQ(file.FindFreeSlot(), 2u);

  // Deleting slot 3 keeps the length and leaves an all-zero slot.
  const auto length = file.Length();
  ASSERT_TRUE(file.WriteArticle(2, Article(2, "two")));
  ASSERT_TRUE(file.WriteArticle(4, Article(4, "four")));
  ASSERT_TRUE(file.WriteArticle(3, ZeroArticle()));
  EXPECT_EQ(file.Length(), length);
  ArticleRecord slot3;
  ASSERT_EQ(file.ReadArticle(3, slot3), ReadStatus::Ok);
  EXPECT_TRUE(IsAllZero(slot3));
  EXPECT_EQ(file.FindFreeSlot(), 3u);

  ASSERT_TRUE(file.WriteArticle(3, ZeroArticle()));
  ASSERT_TRUE(file.WriteArticle(3, Article(9, "nine")));
  EXPECT_EQ(file.FindFreeSlot(), 6u);  // past the end: the file grows by one slot
}

TEST(DatabaseFile, SlotCutShortEndsTheAreaAndIsReused) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {1, 2});
  std::filesystem::resize_file(path, 25620 + 2 * 184 + 100);
  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  EXPECT_EQ(LoadedSlots(file), (std::vector<std::uint32_t>{1, 2}));
  ASSERT_EQ(file.FindFreeSlot(), 3u);
  ASSERT_TRUE(file.WriteArticle(3, Article(3, "three")));
  EXPECT_EQ(std::filesystem::file_size(path), 25620u + 3 * 184);
  EXPECT_EQ(LoadedSlots(file), (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST(DatabaseFile, AFileCutShortOpensAndSaysWhatItLacks) {
  TempDir dir;
  // 25 article slots; slot 5 is free.
  std::vector<std::uint32_t> plus;
  for (std::uint32_t n = 1; n <= 25; ++n) plus.push_back(n == 5 ? 0 : n);
  const auto whole = ReadBytes(MakeDatabase(dir, "whole.db", plus));
  const struct {
    std::uint64_t length;
    std::size_t loaded;
    const char* lacks;  // after the path; empty for a file that ends where a record does
  } cases[] = {
      {20, 0, " ends before department 1: 0 of 200 departments read, no articles"},
      {20 + 3 * 128 + 19, 0, " ends inside department 4: 3 of 200 departments read, no articles"},
      {20 + 199 * 128 + 127, 0, " ends inside department 200: 199 of 200 departments read, no articles"},
      {20 + 5 * 128, 0, " ends before department 6: 5 of 200 departments read, no articles"},
      {25620, 0, ""},
      {25620 + 1, 0, " ends inside article 1: 0 articles read"},
      {25620 + 184 + 183, 1, " ends inside article 2: 1 article read"},
      {25620 + 23 * 184 + 100, 22, " ends inside article 24: 22 articles read"},
      {25620 + 25 * 184, 24, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string path = dir.File("cut.db");
    WriteBytes(path, std::vector<unsigned char>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.length)));
    DatabaseFile file;
    ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
    ArticleTable table;
    const LoadOutcome outcome = file.LoadTable(table);
    EXPECT_EQ(outcome.loaded, c.loaded);
    EXPECT_EQ(outcome.cut, *c.lacks ? path + c.lacks : "");
    EXPECT_FALSE(outcome.readError);
  }
}

TEST(DatabaseFile, ArticleSlotsCrossBlocksAndFollowTheirRule) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {});
  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  ArticleRecord report = Article(7, "report");
  report.IN_USE = 0;  // report files never set it
  for (const std::uint32_t slot : {1u, 1024u, 1025u, 2049u}) ASSERT_TRUE(file.WriteArticle(slot, Article(slot, "x")));
  ASSERT_TRUE(file.WriteArticle(2050, report));
  ASSERT_TRUE(file.WriteArticle(2051, ZeroArticle()));
  std::filesystem::resize_file(path, file.Length() + 50);  // and a record cut short

  const struct {
    SlotRule rule;
    std::vector<std::uint32_t> seen;
  } cases[] = {{SlotRule::InUse, {1, 1024, 1025, 2049}}, {SlotRule::NotAllZero, {1, 1024, 1025, 2049, 2050}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.rule));
    ArticleSlots slots(file, c.rule);
    std::vector<std::uint32_t> seen;
    for (const ArticleSlots::Slot slot : slots) {
      seen.push_back(slot.number);
      EXPECT_EQ(slot.record.PLUNO, slot.number == 2050 ? 7u : slot.number);
    }
    EXPECT_EQ(seen, c.seen);
    EXPECT_FALSE(slots.Failed());
    EXPECT_EQ(slots.EndSlot(), 2052u);
  }
  // The list holds the articles in use; a new article goes where nothing is.
  EXPECT_EQ(LoadedSlots(file), cases[0].seen);
  EXPECT_EQ(file.FindFreeSlot(), 2u);
}

TEST(DatabaseFile, AReportRecordIsNeitherListedNorOverwritten) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {});
  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  ArticleRecord report = Article(7, "report");
  report.IN_USE = 0;
  ASSERT_TRUE(file.WriteArticle(1, report));
  ASSERT_TRUE(file.WriteArticle(2, Article(8, "in use")));
  EXPECT_EQ(LoadedSlots(file), (std::vector<std::uint32_t>{2}));
  EXPECT_EQ(file.FindFreeSlot(), 3u);
}

TEST(DatabaseFile, LoadingStopsAtTheTableCapacity) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "big.db", {});
  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  // More articles in use than the table can hold.
  std::vector<ArticleRecord> block(ArticleTable::kCapacity + 2);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = Article(static_cast<uint32_t>(i + 1), "many");
  ASSERT_TRUE(file.WriteAt(kArticleAreaOffset, block.data(), block.size() * sizeof(ArticleRecord)));

  ArticleTable table;
  const LoadOutcome outcome = file.LoadTable(table);
  EXPECT_TRUE(outcome.capacityReached);
  EXPECT_EQ(outcome.loaded, ArticleTable::kMaxArticles);
  EXPECT_EQ(table.Count(), ArticleTable::kMaxArticles);
  EXPECT_EQ(table.Entry(ArticleTable::kMaxArticles).recordNo, 0u);
  EXPECT_TRUE(table.IsFull());
}

TEST(DatabaseFile, ReplaceKeepsAValidFileUntilANewOneTakesItsPlace) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {1, 2, 3});
  const auto before = ReadBytes(path);
  DatabaseFile file;
  EXPECT_EQ(file.OpenDatabase(path, true).result, OpenResult::Opened);
  EXPECT_EQ(ReadBytes(path), before);
  file.Close();

  // A file with a wrong header is not replaced.
  WriteBytes(path, {1, 2, 3});
  EXPECT_EQ(file.OpenDatabase(path, true).result, OpenResult::WrongHeader);
  EXPECT_EQ(ReadBytes(path).size(), 3u);
}

TEST(DatabaseFile, ReplaceFailsWhenTheFileCannotBeDeleted) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {1});
  if (!MakeUnwritable(dir.Path().string())) GTEST_SKIP() << "cannot protect a folder here";
  DatabaseFile file;
  const OpenOutcome outcome = file.OpenDatabase(path, true);
  EXPECT_EQ(outcome.result, OpenResult::CannotOpen);
  EXPECT_EQ(outcome.message, "Destination file can not be opened!");
}

TEST(DatabaseFile, FilesThatCannotBeOpened) {
  TempDir dir;
  DatabaseFile file;

  const OpenOutcome directory = file.OpenDatabase(dir.Path().string(), false);
  EXPECT_EQ(directory.result, OpenResult::CannotOpen);
  EXPECT_EQ(directory.message, "Unable to open the file!");

  const OpenOutcome missingFolder = file.OpenDatabase(dir.File("no/such/folder.db"), false);
  EXPECT_EQ(missingFolder.result, OpenResult::CannotOpen);
  EXPECT_EQ(missingFolder.message, "Unable to open the file!");
  EXPECT_FALSE(file.IsOpen());
}

TEST(DatabaseFile, AReadOnlyFileOpensForLookingAndRefusesWrites) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "ro.db", {1});
  if (!MakeUnwritable(path)) GTEST_SKIP() << "cannot protect a file here";
  DatabaseFile file;
  const OpenOutcome outcome = file.OpenDatabase(path, false);
  EXPECT_EQ(outcome.result, OpenResult::Opened);
  EXPECT_TRUE(file.IsReadOnly());
  ArticleRecord article;
  EXPECT_EQ(file.ReadArticle(1, article), ReadStatus::Ok);
  const IoResult written = file.WriteArticle(1, article);
  EXPECT_FALSE(written);
  EXPECT_NE(written.error.find("ro.db"), std::string::npos) << written.error;
  ASSERT_TRUE(file.Reopen());
  EXPECT_TRUE(file.IsReadOnly());
  // It cannot be the target of a replacing open.
  EXPECT_EQ(file.OpenDatabase(path, true).result, OpenResult::CannotOpen);
  SetImmutable(path, false);
}

TEST(DatabaseFile, AnOpenDatabaseIsHeldExclusively) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {1});
  DatabaseFile first;
  ASSERT_EQ(first.OpenDatabase(path, false).result, OpenResult::Opened);

  DatabaseFile second;
  const OpenOutcome outcome = second.OpenDatabase(path, false);
  EXPECT_EQ(outcome.result, OpenResult::CannotOpen);
  EXPECT_EQ(outcome.message, "Unable to open the file!");
  EXPECT_FALSE(second.CreateEmpty(path));
  EXPECT_EQ(std::filesystem::file_size(path), 25620u + 184);  // not emptied

  first.Close();
  EXPECT_EQ(second.OpenDatabase(path, false).result, OpenResult::Opened);
  ASSERT_TRUE(second.Reopen());
  EXPECT_TRUE(second.IsOpen());
}

TEST(DatabaseFile, FailedWritesAreReported) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {});
  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);

  // A file size limit makes the disk "full" past the current length.
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 25620 + 184;
  setrlimit(RLIMIT_FSIZE, &limited);
  const IoResult first = file.WriteArticle(1, Article(1, "fits"));
  const IoResult second = file.WriteArticle(2, Article(2, "does not fit"));
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);

  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_NE(second.error.find("a.db"), std::string::npos) << second.error;

  DatabaseFile closed;
  EXPECT_FALSE(closed.WriteArticle(1, Article(1, "x")));
  EXPECT_FALSE(closed.WriteDepartment(0, DefaultDepartment(1, 'B')));
  EXPECT_FALSE(file.WriteDepartment(200, DefaultDepartment(201, 'B')));
  EXPECT_FALSE(file.WriteArticle(0, Article(1, "x")));
}

TEST(DatabaseFile, CreateEmptyAndOpenExisting) {
  TempDir dir;
  const std::string path = MakeDatabase(dir, "a.db", {1, 2});
  DatabaseFile file;
  ASSERT_TRUE(file.CreateEmpty(path));
  EXPECT_EQ(file.Length(), 0u);
  ASSERT_TRUE(file.WriteZeroHeader());
  EXPECT_FALSE(file.CheckHeader());
  ASSERT_TRUE(file.WriteHeader());
  EXPECT_TRUE(file.CheckHeader());
  file.Close();

  EXPECT_FALSE(file.OpenExisting(dir.File("missing.db")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
  EXPECT_FALSE(file.OpenExisting(dir.Path().string()));
  EXPECT_TRUE(file.OpenExisting(path));
  ASSERT_TRUE(file.Truncate(20));
  EXPECT_EQ(file.Length(), 20u);
}
