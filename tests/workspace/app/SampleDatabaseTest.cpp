#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>

#include "data/ArticleTable.h"
#include "data/DatabaseFile.h"
#include "workspace/app/SampleDatabase.h"
#include "tests/data/TempDir.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

TEST(SampleDatabaseTest, HoldsTheDemoRegistersDepartmentsAndArticles) {
  WorkspaceTestConfig config;
  TempDir dir;
  const std::string path = dir.File("demo.db");
  std::string error;
  std::size_t articles = 0;
  ASSERT_TRUE(SampleDatabase::Create(path, &error, &articles)) << error;
  EXPECT_GE(articles, 200u);
  EXPECT_LE(articles, 1000u);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

  DatabaseFile file;
  ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Opened);
  ArticleTable table;
  ASSERT_EQ(file.LoadTable(table).loaded, articles);
  std::set<std::string> names;
  std::set<std::uint32_t> plus;
  std::size_t withBarcode = 0;
  for (std::size_t i = 0; i < table.Count(); ++i) {
    names.insert(std::string(NameOf(table.Entry(i).NAME)));
    plus.insert(table.Entry(i).PLUNO);
    if (table.Entry(i).BARCODE != 0) ++withBarcode;
  }
  EXPECT_EQ(plus.size(), articles);
  EXPECT_GT(names.size(), articles / 2);
  EXPECT_GT(withBarcode, articles / 2);

  DepartmentRecord bakery;
  file.ReadDepartment(0, bakery);
  EXPECT_EQ(std::string(NameOf(bakery.NAME)), "Bakery");
  EXPECT_EQ(bakery.downloaded, 1);
}

TEST(SampleDatabaseTest, AnExistingFileIsLeftAlone) {
  WorkspaceTestConfig config;
  TempDir dir;
  const std::string path = dir.File("shop.db");
  WriteBytes(path, {1, 2, 3});
  std::string error;
  EXPECT_FALSE(SampleDatabase::Create(path, &error));
  EXPECT_NE(error.find("exists already"), std::string::npos);
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{1, 2, 3}));
}

TEST(SampleDatabaseTest, AFailedSampleRemovesOnlyWhatItMade) {
  WorkspaceTestConfig config;
  TempDir dir;
  const std::string path = dir.File("demo.db");
  WriteBytes(path + ".bak", {4, 5, 6});  // not made by this run
  // A full disk: the empty database fits, the download does not.
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 30000;
  setrlimit(RLIMIT_FSIZE, &limited);
  std::string error;
  const bool made = SampleDatabase::Create(path, &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(made);
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ReadBytes(path + ".bak"), (std::vector<unsigned char>{4, 5, 6}));
}

}  // namespace
