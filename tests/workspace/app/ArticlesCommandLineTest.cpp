#include <gtest/gtest.h>

#include "workspace/app/ArticlesCommandLine.h"
#include "workspace/common/ProgramOptions.h"

namespace {

std::optional<ArticlesCommandLine> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  return ArticlesCommandLine::Parse(args, error);
}

TEST(ArticlesCommandLineTest, UsbByDefault) {
  const auto line = Parse({});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->registerChoice.Scheme(), "usb");
  EXPECT_FALSE(line->help);
  EXPECT_TRUE(line->makeSample.empty());
  EXPECT_TRUE(line->database.empty());
}

TEST(ArticlesCommandLineTest, RegisterChoicesWithSpaceOrEquals) {
  auto line = Parse({"--register", "demo"});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->registerChoice.Scheme(), "demo");
  line = Parse({"--register=serial:/dev/ttyACM0@9600"});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->registerChoice.Scheme(), "serial");
  EXPECT_EQ(line->registerChoice.Address(), "serial:/dev/ttyACM0@9600");
  line = Parse({"--register", "usb:1a2b:00FF"});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->registerChoice.Address(), "usb:1a2b:00ff");
}

TEST(ArticlesCommandLineTest, JobsAndTheirPaths) {
  const auto line = Parse({"--make-sample", "/tmp/a.db", "--database=/tmp/b.db", "--help", "--version"});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->makeSample, "/tmp/a.db");
  EXPECT_EQ(line->database, "/tmp/b.db");
  EXPECT_TRUE(line->help);
  EXPECT_TRUE(line->version);
}

TEST(ArticlesCommandLineTest, MistakesAreNamed) {
  std::string error;
  EXPECT_FALSE(Parse({"--register"}, &error));
  EXPECT_NE(error.find("--register needs a value"), std::string::npos);
  EXPECT_FALSE(Parse({"--register", "floppy"}, &error));
  EXPECT_NE(error.find("floppy"), std::string::npos);
  EXPECT_FALSE(Parse({"--make-sample"}, &error));
  EXPECT_NE(error.find("--make-sample"), std::string::npos);
  EXPECT_FALSE(Parse({"--database="}, &error));
  EXPECT_FALSE(Parse({"--registers=demo"}, &error));
  EXPECT_NE(error.find("unknown argument \"--registers=demo\""), std::string::npos);
  // The pictures of the manual are made by a tool of their own.
  EXPECT_FALSE(Parse({"--screenshots", "docs"}, &error));
  EXPECT_NE(ArticlesCommandLine::Usage("articles").find("--register <CONNECTION>"), std::string::npos);
}

// The help lists every option of the table that articles takes.
TEST(ArticlesCommandLineTest, HelpFollowsTheOptionTable) {
  const std::string usage = ArticlesCommandLine::Usage("articles");
  for (const ProgramOption& option : OptionsOf(kArticlesProgram)) {
    EXPECT_NE(usage.find("--" + std::string(option.name)), std::string::npos) << option.name;
    // Qt wraps the help texts; their beginnings stand whole.
    EXPECT_NE(usage.find(std::string(option.help).substr(0, 20)), std::string::npos) << option.name;
  }
}

}  // namespace
