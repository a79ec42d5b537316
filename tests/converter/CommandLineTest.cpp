#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArticlesVersion.h"
#include "converter/CommandLine.h"
#include "tests/converter/TestSupport.h"

namespace {

CommandLine Parse(std::vector<std::string_view> arguments) { return CommandLine::Parse(arguments); }

TEST(CommandLine, TheArticlesWindowsExportList) {
  const CommandLine line = Parse({"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", "/home/shop/My Goods.xlsx"});
  EXPECT_EQ(line.mode, ConversionMode::Export);
  EXPECT_EQ(line.databasePath, "tmpDBTransfer.tmp");
  EXPECT_EQ(line.workbookPath, "/home/shop/My Goods.xlsx");
}

TEST(CommandLine, TheArticlesWindowsImportList) {
  const CommandLine line = Parse({"alal", "-UP", "-ItmpDBTransfer.tmp", "-O", "/tmp/a.xlsx"});
  EXPECT_EQ(line.mode, ConversionMode::Import);
  EXPECT_EQ(line.databasePath, "tmpDBTransfer.tmp");
  EXPECT_EQ(line.workbookPath, "/tmp/a.xlsx");
}

TEST(CommandLine, AnOpenKeyIsReplacedByTheNextOption) {
  // "-D" waits for a value; "-Ifile" takes its place, so no mode is set.
  const CommandLine line = Parse({"x", "-D", "-Ifile"});
  EXPECT_EQ(line.mode, ConversionMode::None);
  EXPECT_EQ(line.databasePath, "file");
}

TEST(CommandLine, ASeparateValueCompletesAnOpenSlot) {
  const auto slots = CommandLine::SlotsOf(std::vector<std::string_view>{"x", "-I", "file"});
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].key, "I");
  EXPECT_EQ(slots[0].value, "file");
  EXPECT_EQ(Parse({"x", "-I", "file"}).databasePath, "file");
}

TEST(CommandLine, OnlyTheFirstLetterOfTheKeyCounts) {
  const auto slots = CommandLine::SlotsOf(std::vector<std::string_view>{"x", "-Ifile"});
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_EQ(slots[0].key, "Ifile");
  EXPECT_EQ(slots[0].value, "file");
  EXPECT_EQ(Parse({"x", "-Download", "-Upload"}).mode, ConversionMode::Import);
}

TEST(CommandLine, LowerCaseAndOtherKeysAreIgnored) {
  const CommandLine line = Parse({"x", "-dw", "-ifile", "-ofile", "-up", "-Xyz", "-Q", "v"});
  EXPECT_EQ(line.mode, ConversionMode::None);
  EXPECT_TRUE(line.databasePath.empty());
  EXPECT_TRUE(line.workbookPath.empty());
}

TEST(CommandLine, LaterSlotsOverrideEarlierOnes) {
  EXPECT_EQ(Parse({"x", "-DW", "-UP"}).mode, ConversionMode::Import);
  EXPECT_EQ(Parse({"x", "-UP", "-DW"}).mode, ConversionMode::Export);
  EXPECT_EQ(Parse({"x", "-Ia", "-Ib"}).databasePath, "b");
  EXPECT_EQ(Parse({"x", "-O", "a", "-Ob"}).workbookPath, "b");
}

TEST(CommandLine, EmptyArgumentsLoneDashesAndStrayWordsAreSkipped) {
  const CommandLine line = Parse({"x", "", "-", "stray", "-O", "", "-", "book.xlsx", "-DW"});
  EXPECT_EQ(line.mode, ConversionMode::Export);
  EXPECT_EQ(line.workbookPath, "book.xlsx");
}

TEST(CommandLine, TheFirstWordIsNeverAnOption) {
  EXPECT_EQ(Parse({"-DW"}).mode, ConversionMode::None);
  EXPECT_EQ(Parse({}).mode, ConversionMode::None);
}

TEST(CommandLine, AnOpenSlotAtTheEndIsNotApplied) {
  EXPECT_EQ(Parse({"x", "-Ia", "-D"}).mode, ConversionMode::None);
  EXPECT_EQ(Parse({"x", "-Ia", "-I"}).databasePath, "a");
}

TEST(CommandLine, SlotsPastTheLimitAreDropped) {
  std::vector<std::string_view> arguments{"x"};
  for (std::size_t i = 0; i < CommandLine::kMaxSlots; ++i) arguments.push_back("-Zz");
  arguments.push_back("-DW");
  EXPECT_EQ(CommandLine::SlotsOf(arguments).size(), CommandLine::kMaxSlots);
  EXPECT_EQ(CommandLine::Parse(arguments).mode, ConversionMode::None);
  arguments.erase(arguments.begin() + 1);
  EXPECT_EQ(CommandLine::Parse(arguments).mode, ConversionMode::Export);
}

TEST(CommandLine, HelpAndVersionAreWholeArgumentsBesideTheSlots) {
  const CommandLine line = Parse({"x", "-DW", "--help", "-Ia"});
  EXPECT_TRUE(line.help);
  EXPECT_FALSE(line.version);
  EXPECT_EQ(line.mode, ConversionMode::Export);
  EXPECT_EQ(line.databasePath, "a");
  EXPECT_TRUE(Parse({"x", "--version"}).version);
  EXPECT_FALSE(Parse({"--help", "-I--version"}).help);
  EXPECT_FALSE(Parse({"x", "-I--version"}).version);
}

TEST(QuorvexProgram, HelpAndVersionConvertNothing) {
  testsupport::ScratchDir dir;
  testsupport::WriteBytes(dir / "shop.db", "not a database");
  const struct {
    const char* option;
    const char* printed;
  } cases[] = {{"--help", "Usage: Quorvex -DW -IDB -OWORKBOOK"}, {"--version", "Quorvex " ARTICLES_VERSION "\n"}};
  for (const auto& c : cases) {
    const auto result = testsupport::RunProgram(dir.path(), {"alal", "-DW", "-Ishop.db", "-Oout.xlsx", c.option});
    EXPECT_EQ(result.status, 0) << c.option;
    EXPECT_EQ(result.output.find(c.printed), 0u) << result.output;
    EXPECT_EQ(result.errors, "");
    EXPECT_FALSE(fs::exists(dir / "out.xlsx"));
  }
}

TEST(QuorvexProgram, WithoutAModeEndsAtOnceWithStatusZero) {
  testsupport::ScratchDir dir;
  testsupport::WriteBytes(dir / "tmpDBTransfer.tmp", "not a database");
  for (const char* program : {QUORVEX_PATH, QUORVEX_LP_PATH}) {
    const auto result = testsupport::RunProgram(dir.path(), {"alal", "-dw", "-ItmpDBTransfer.tmp", "-O", "out.xlsx"},
                                                {.program = program});
    EXPECT_EQ(result.status, 0) << program;
    EXPECT_EQ(result.errors, "Quorvex: nothing to do without -D (export) or -U (import); see Quorvex --help\n");
    EXPECT_EQ(result.output, "");
    EXPECT_FALSE(fs::exists(dir / "out.xlsx"));
    EXPECT_EQ(testsupport::ReadBytes(dir / "tmpDBTransfer.tmp"), "not a database");
  }
}

// The usage's command lines do what they say, and a bare -D or -U that the
// next option replaced is named (the run still does nothing, with status 0).
TEST(QuorvexProgram, TheUsagesCommandLinesWorkAndASwallowedModeIsNamed) {
  testsupport::ScratchDir dir;
  testsupport::WriteDatabase(dir / "shop.db", {}, {testsupport::MakeArticle(1, "a", 'A', 1)});
  const std::string usage = testsupport::RunProgram(dir.path(), {"Quorvex", "--help"}).output;
  for (const char* shown : {"Quorvex -DW -IDB -OWORKBOOK", "Quorvex -UP -IDB -OWORKBOOK"})
    EXPECT_NE(usage.find(shown), std::string::npos) << usage;
  auto result = testsupport::RunProgram(dir.path(), {"Quorvex", "-DW", "-Ishop.db", "-Oshop.xlsx"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_TRUE(fs::exists(dir / "shop.xlsx"));
  result = testsupport::RunProgram(dir.path(), {"Quorvex", "-UP", "-Inew.db", "-Oshop.xlsx"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(testsupport::ReadArticles(dir / "new.db").size(), 1u);

  const struct {
    std::vector<std::string> arguments;
    const char* said;
  } cases[] = {
      {{"Quorvex", "-D", "-Ishop.db", "-Oout.xlsx"}, "Quorvex: -D needs a value, as in -DW: nothing was done\n"},
      {{"Quorvex", "-U", "-Ishop.db", "-Oshop.xlsx"}, "Quorvex: -U needs a value, as in -UP: nothing was done\n"},
      {{"Quorvex", "-Ishop.db", "-Oout.xlsx", "-D"}, "Quorvex: -D needs a value, as in -DW: nothing was done\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[1]);
    const std::string before = testsupport::ReadBytes(dir / "shop.db");
    result = testsupport::RunProgram(dir.path(), c.arguments);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, c.said);
    EXPECT_FALSE(fs::exists(dir / "out.xlsx"));
    EXPECT_EQ(testsupport::ReadBytes(dir / "shop.db"), before);
  }
  // A -D that the later -U overrides is no loss: the import runs.
  result = testsupport::RunProgram(dir.path(), {"Quorvex", "-D", "-UP", "-Inew.db", "-Oshop.xlsx"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.errors, "");
}

}  // namespace
