// The option table against the man pages, and the splitting of a command line over it.
#include "workspace/common/ProgramOptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// The long options a man page names in its SYNOPSIS, COMMANDS and OPTIONS.
std::set<std::string> OptionsInManPage(const std::string& page) {
  std::ifstream in(std::string(ARTICLES_SOURCE_DIR) + "/packaging/man/" + page);
  EXPECT_TRUE(in) << page;
  std::set<std::string> names;
  bool inside = false;
  const std::regex option(R"(\\-\\-([a-z]+(\\-[a-z]+)*))");
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(".SH ")) {
      inside = line == ".SH SYNOPSIS" || line == ".SH COMMANDS" || line == ".SH OPTIONS";
      continue;
    }
    if (!inside) continue;
    for (std::sregex_iterator it(line.begin(), line.end(), option), end; it != end; ++it) {
      names.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
    }
  }
  return names;
}

std::set<std::string> OptionsInTable(Program program) {
  std::set<std::string> names;
  for (const ProgramOption& option : OptionsOf(program)) names.insert(option.name);
  return names;
}

TEST(ProgramOptionsTest, ManPagesNameExactlyTheOptionsOfTheirProgram) {
  EXPECT_EQ(OptionsInManPage("articles.1"), OptionsInTable(kArticlesProgram));
  EXPECT_EQ(OptionsInManPage("articles-cli.1"), OptionsInTable(kArticlesCliProgram));
}

TEST(ProgramOptionsTest, ManPageOfTheConsoleProgramGivesEveryExitStatus) {
  std::ifstream in(std::string(ARTICLES_SOURCE_DIR) + "/packaging/man/articles-cli.1");
  std::stringstream page;
  page << in.rdbuf();
  const std::string text = page.str();
  const std::string status = text.substr(text.find(".SH EXIT STATUS"));
  for (const char* code : {"0 ", "1 ", "2 ", "130", "143"}) EXPECT_NE(status.find(code), std::string::npos) << code;
}

TEST(ProgramOptionsTest, SplitsOptionsValuesAndOperandsInOrder) {
  const SplitCommandLine line =
      SplitArguments(kArticlesCliProgram, {"--register", "demo", "-y", "download", "--trace=t.log", "shop.db",
                                           "--bogus", "-v", "--yes=1", "-", "--timeout"});
  ASSERT_EQ(line.options.size(), 7u);
  EXPECT_STREQ(line.options[0].option->name, "register");
  EXPECT_EQ(line.options[0].text, "demo");
  EXPECT_STREQ(line.options[1].option->name, "yes");
  EXPECT_STREQ(line.options[2].option->name, "trace");
  EXPECT_EQ(line.options[2].text, "t.log");
  EXPECT_EQ(line.options[3].option, nullptr);  // not an option of articles-cli
  EXPECT_EQ(line.options[3].text, "--bogus");
  EXPECT_EQ(line.options[4].option, nullptr);  // -v belongs to articles only
  EXPECT_EQ(line.options[5].option, nullptr);  // a switch takes no value
  EXPECT_STREQ(line.options[6].option->name, "timeout");
  EXPECT_TRUE(line.options[6].missing);
  EXPECT_EQ(line.operands, (std::vector<std::string>{"download", "shop.db", "-"}));
}

}  // namespace
