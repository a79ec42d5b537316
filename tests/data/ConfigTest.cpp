#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <cstring>
#include <malloc.h>

#include "data/CodePage.h"
#include "data/Config.h"
#include "tests/data/TempDir.h"

namespace {

// Points the configuration at a folder of this test and forgets what was loaded.
class ConfigFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    config::SetSearchDirectories({dir_.Path()});
    config::Reset();
  }
  void TearDown() override {
    config::SetSearchDirectories(config::DefaultSearchDirectories());
    config::Reset();
  }
  void WriteConfig(const std::string& text) { std::ofstream(dir_.File(kConfigFileName), std::ios::binary) << text; }
  TempDir dir_;
};

using Config = ConfigFixture;

// The keys the windows, transfers and reports look up.
const std::vector<std::string>& SystemKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k = {"DLG_ARTICLEMAIN_PLUSEARCH",
                                  "DLG_ARTICLEMAIN_BARCODESEARCH",
                                  "DLG_ARTICLEMAIN_CONTROLMENU",
                                  "DLG_ARTICLEMAIN_SORTMENU",
                                  "DLG_ARTICLEMAIN_SELECTMENU",
                                  "DLG_ARTICLEMAIN_BUTTONEDIT",
                                  "DLG_ARTICLEMAIN_ADDNEW",
                                  "DLG_ARTICLEMAIN_DELETE",
                                  "DLG_ARTICLEMAIN_UPLOAD",
                                  "DLG_ARTICLEMAIN_DOWNLOAD",
                                  "DLG_ARTICLEMAIN_EXPORTXLS",
                                  "DLG_ARTICLEMAIN_IMPORTXLS",
                                  "DLG_ARTICLEMAIN_OPENDATABASE",
                                  "DLG_ARTICLEMAIN_SORTPLUNUMBER",
                                  "DLG_ARTICLEMAIN_SORTNAME",
                                  "DLG_ARTICLEMAIN_SORTBARCODE",
                                  "DLG_ARTICLEMAIN_SORTCHRONOLOGIC",
                                  "DLG_ARTICLEMAIN_ARTICLES",
                                  "DLG_ARTICLEMAIN_DEPARTMENTS",
                                  "DLG_ARTICLEMAIN_IDCANCEL",
                                  "MSG_DOWNLOAD_QUESTION",
                                  "DLG_ARTICLEEDITOR_PLUNO",
                                  "DLG_ARTICLEEDITOR_TAXGRP",
                                  "DLG_ARTICLEEDITOR_PRICE1",
                                  "DLG_ARTICLEEDITOR_NAME",
                                  "DLG_ARTICLEEDITOR_BARCODE",
                                  "DLG_ARTICLEEDITOR_DEPARTMENT",
                                  "DLG_ARTICLEEDITOR_COMMODITYGRP",
                                  "DLG_ARTICLEEDITOR_PRICE2",
                                  "DLG_ARTICLEEDITOR_MESUREUNIT",
                                  "DLG_ARTICLEEDITOR_OPTIONS",
                                  "DLG_ARTICLEEDITOR_PRICE",
                                  "DLG_ARTICLEEDITOR_RELATIONS",
                                  "DLG_ARTICLEEDITOR_STOCKQTY",
                                  "DLG_ARTICLEEDITOR_PLULINK",
                                  "DLG_ARTICLEEDITOR_NOTCONTROLLED",
                                  "DLG_FRAC_QTY_D",
                                  "DLG_FRAC_QTY_E",
                                  "DLG_FREE_PRICE_D",
                                  "DLG_FREE_PRICE_E",
                                  "DLG_SINGLE_TRANS_D",
                                  "DLG_SINGLE_TRANS_E",
                                  "DLG_OK",
                                  "DLG_CANCEL",
                                  "DLG_DEPARTMENTEDIT_DEPTNO",
                                  "DLG_DEPARTMENTEDIT_NAME",
                                  "DLG_DEPARTMENTEDIT_MESUREID",
                                  "DLG_DEPARTMENTEDIT_COMMGRP",
                                  "DLG_DEPARTMENTEDIT_STAND",
                                  "DLG_DEPARTMENTEDIT_TAXGROUP",
                                  "DLG_DEPARTMENTEDIT_MAXAMOUNT",
                                  "DLG_DEVICETYPE_SELDEVICE",
                                  "DLG_DEVICETYPE_ARTICLES",
                                  "DLG_DEVICETYPE_REPORTS",
                                  "DLG_DEVICETYPE_CONFIGURATIONS",
                                  "DLG_DEVICETYPE_IDCANCEL",
                                  "DV_1",
                                  "DLG_CONFIGURATIONS_PORT1",
                                  "DLG_CONFIGURATIONS_BAUDRATE1",
                                  "DLG_CONFIGURATIONS_BARCODE",
                                  "DLG_REPORTS_ARTICLES",
                                  "DLG_REPORTS_DEPT",
                                  "DLG_REPORTS_DOWNLOADREPORTS",
                                  "DLG_REPORTS_OPENREPORTS",
                                  "DLG_REPORTS_EXPORT",
                                  "MSG_PLUREP_NAME",
                                  "MSG_DEPTREP_NAME",
                                  "MSG_SINGLEPRICE",
                                  "MSG_SINGLEPRICE2",
                                  "MSG_AMOUNT",
                                  "MSG_AMOUNT2",
                                  "MSG_TOTAL",
                                  "MSG_TOTAL2",
                                  "MSG_STOCKQTY",
                                  "MSG_INITQTY",
                                  "MSG_DEVICE_OK_MSG",
                                  "MSG_DEVICE_ERROR_MSG",
                                  "MSG_PLUREP_ATTENTION",
                                  "MSG_DEPTREP_ATTENTION",
                                  "MSG_DBOVERWIRTE_ATTENTION",
                                  "TAX_CHARS",
                                  "CODE_PAGE"};
    for (int i = 1; i <= 10; ++i) k.push_back("STAND_" + std::to_string(i));
    for (int i = 1; i <= 20; ++i) k.push_back("COMM_GRP_" + std::to_string(i));
    for (int i = 1; i <= 12; ++i) k.push_back("MSR_LINK_" + std::to_string(i));
    return k;
  }();
  return keys;
}

}  // namespace

TEST_F(Config, ShippedFileGivesEveryKeyItsOwnValue) {
  const std::string path = std::string(ARTICLES_RESOURCES_DIR) + "/" + kConfigFileName;
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << path;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  // Read the file line by line, strictly, as a person reads it.
  std::map<std::string, std::string> entries;
  const std::regex line(R"re(^([A-Z0-9_]+) = "([^"]*)"$)re");
  std::istringstream lines(text);
  for (std::string l; std::getline(lines, l);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, line)) << "malformed line: " << l;
    EXPECT_TRUE(entries.emplace(m[1], m[2]).second) << "duplicate key " << m[1];
  }
  for (const auto& key : SystemKeys()) {
    EXPECT_TRUE(entries.count(key)) << "missing key " << key;
  }

  config::LoadText(text);
  for (const auto& [key, value] : entries) {
    EXPECT_EQ(GetConfigText(key.c_str()), value) << key << " is shadowed by another entry";
  }
  EXPECT_STREQ(GetConfigText("DLG_ARTICLEEDITOR_PRICE2"), " Price 2:");
}

TEST_F(Config, TheFirstOccurrenceWinsWhereverItIs) {
  WriteConfig("COMM_GRP_10 = \"Drinks\"\nCOMM_GRP_1 = \"Food\"\n");
  EXPECT_STREQ(GetConfigText("COMM_GRP_1"), "Drinks");
  EXPECT_STREQ(GetConfigText("COMM_GRP_10"), "Drinks");
}

TEST_F(Config, ValuesSpanLinesAndIgnoreWhatStandsBeforeTheQuote) {
  WriteConfig("header text\nA anything at all \"first\nsecond\"\nB=\"b\"");
  const char* first = GetConfigText("A");
  EXPECT_STREQ(first, "first\nsecond");
  EXPECT_EQ(GetConfigText("A"), first);  // same text, same place, every time
  EXPECT_STREQ(GetConfigText("B"), "b");
  // A missing key: the text before the file's first quote.
  EXPECT_STREQ(GetConfigText("NOT_THERE"), "header text\nA anything at all ");
}

TEST_F(Config, MissingFileIsRetriedOnEveryLookup) {
  EXPECT_STREQ(GetConfigText("DV_1"), "Missing Conf File");
  EXPECT_STREQ(GetConfigText("DV_1"), "Missing Conf File");
  WriteConfig("DV_1 = \"Register\"");
  EXPECT_STREQ(GetConfigText("DV_1"), "Register");
  EXPECT_EQ(config::LoadedFile(), dir_.Path() / kConfigFileName);
}

TEST_F(Config, UnclosedAndEmptyValuesStayInsideTheText) {
  WriteConfig("A = \"open to the end");
  EXPECT_STREQ(GetConfigText("A"), "open to the end");
  EXPECT_STREQ(GetConfigText("B"), "A = ");

  config::Reset();
  WriteConfig("");
  EXPECT_STREQ(GetConfigText("A"), "");
  WriteConfig("A = \"now there\"");
  EXPECT_STREQ(GetConfigText("A"), "now there");  // an empty file is read again

  config::Reset();
  WriteConfig("no quotes at all");
  EXPECT_STREQ(GetConfigText("X"), "no quotes at all");
  EXPECT_FALSE(config::FindValue("X"));
}

TEST_F(Config, KeysTheFileLacksTakeTheShippedTextsAndAreNamedOnce) {
  WriteConfig("CODE_PAGE = \"CP1250\"\nDLG_OK = \"Fine\"\n");
  testing::internal::CaptureStderr();
  const struct {
    const char* key;
    const char* value;
  } cases[] = {
      {"DLG_OK", "Fine"},                                        // in the file
      {"DLG_CANCEL", "Cancel"},                                  // shipped text
      {"MSG_DEVICE_OK_MSG", "Transfer completed successfully"},  // shipped text
      {"STAND_10", "Stand 10"},                                  // shipped text
      {"TAX_CHARS", "ABCDEFGH"},                                 // shipped text
      {"NOT_A_KEY", "CODE_PAGE = "},                             // in neither: the start of the file
  };
  for (const auto& c : cases) EXPECT_STREQ(GetConfigText(c.key), c.value) << c.key;
  GroupNames names;
  names.Load();
  EXPECT_EQ(names.Stand(0), "Counter");
  EXPECT_EQ(DefaultDepartmentTaxLetter(), 'B');
  const std::string warned = testing::internal::GetCapturedStderr();

  // One line that names every key the file lacks, and only those.
  ASSERT_FALSE(warned.empty());
  EXPECT_EQ(std::count(warned.begin(), warned.end(), '\n'), 1) << warned;
  EXPECT_NE(warned.find((dir_.Path() / kConfigFileName).string()), std::string::npos) << warned;
  for (const auto& key : SystemKeys()) {
    const bool inFile = key == "DLG_OK" || key == "CODE_PAGE";
    EXPECT_EQ(std::regex_search(warned, std::regex("[ ,]" + key + "(,|\n)")), !inFile) << key;
  }
  testing::internal::CaptureStderr();
  EXPECT_STREQ(GetConfigText("DLG_ARTICLEMAIN_UPLOAD"), "Upload");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  // A complete file says nothing.
  config::Reset();
  std::ifstream shipped(std::string(ARTICLES_RESOURCES_DIR) + "/" + kConfigFileName, std::ios::binary);
  WriteConfig(std::string((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>()));
  testing::internal::CaptureStderr();
  EXPECT_STREQ(GetConfigText("DLG_OK"), "OK");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Config, ReloadingFreesTheTextsHandedOutBefore) {
  // Large values make a kept text show in the heap at once.
  const std::string text = "DLG_X = \"" + std::string(64 * 1024, 'x') + "\"\nDLG_Y = \"y\"";
  const auto lookups = [&] {
    config::LoadText(text);
    EXPECT_EQ(std::strlen(GetConfigText("DLG_X")), 64u * 1024);
    EXPECT_STREQ(GetConfigText("DLG_OK"), "OK");
  };
  lookups();
  const std::size_t before = mallinfo2().uordblks;
  if (before == 0) GTEST_SKIP() << "the heap is not glibc's here";
  for (int i = 0; i < 200; ++i) lookups();
  EXPECT_LT(mallinfo2().uordblks, before + 1024 * 1024) << "200 reloads kept their texts";
}

TEST_F(Config, BinaryGarbageNeverReadsPastTheText) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  WriteConfig(garbage);
  for (const auto& key : SystemKeys()) {
    const std::string value = GetConfigText(key.c_str());
    EXPECT_LE(value.size(), garbage.size());
  }
  GroupNames names;
  names.Load();
  EXPECT_LE(std::strlen(names.taxChars), 20u);
}

TEST_F(Config, FindValueNeedsTheKeyAndItsQuote) {
  WriteConfig("CODE_PAGE = \"CP1250\"\nDV_1");
  EXPECT_EQ(config::FindValue("CODE_PAGE"), "CP1250");
  EXPECT_FALSE(config::FindValue("DV_1"));
  EXPECT_FALSE(config::FindValue("NOPE"));
  EXPECT_EQ(ConfiguredCodePage(), "CP1250");
}

TEST_F(Config, GroupNamesAreCutToTheirFields) {
  WriteConfig(
      "TAX_CHARS = \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\"\n"
      "STAND_1 = \"A stand name far longer than nineteen\"\n"
      "COMM_GRP_1 = \"Food\"\n"
      "MSR_LINK_1 = \"A measure unit name longer than twenty-nine\"\n");
  GroupNames names;
  names.Load();
  EXPECT_STREQ(names.taxChars, "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(names.TaxLetter(1), 'B');
  EXPECT_EQ(names.TaxLetter(25), '\0');
  EXPECT_EQ(names.Stand(0), "A stand name far lo");
  EXPECT_EQ(names.CommodityGroup(0), "Food");
  EXPECT_EQ(names.MeasureUnit(0), "A measure unit name longer th");
  EXPECT_EQ(names.MeasureUnit(12), "");
  EXPECT_EQ(DefaultDepartmentTaxLetter(), 'B');
}

TEST_F(Config, MissingFileGivesLettersOfItsMessage) {
  GroupNames names;
  names.Load();
  EXPECT_STREQ(names.taxChars, "Missing Conf File");
  EXPECT_EQ(DefaultDepartmentTaxLetter(), 'i');
  EXPECT_EQ(ConfiguredCodePage(), "WINDOWS-1252");
}

namespace {

struct RestoreCodePage {
  ~RestoreCodePage() { codepage::Select(codepage::kDefault); }
};

// A file saved as UTF-8 (what Linux editors write) reads the same as one saved
// in the code page; a file that is not valid UTF-8 is taken as the code page.
TEST_F(Config, AFileInUtf8IsReadAsUtf8) {
  RestoreCodePage restore;
  const std::vector<std::tuple<const char*, std::string, std::string>> cases = {
      {"UTF-8",
       "DLG_X = \"\xC3\x9C"
       "bertragung\"\nSTAND_1 = \"Caf\xC3\xA9\"",
       "\xDC"
       "bertragung"},
      {"code page",
       "DLG_X = \"\xDC"
       "bertragung\"\nSTAND_1 = \"Caf\xE9\"",
       "\xDC"
       "bertragung"},
      {"ASCII", "DLG_X = \"Ubertragung\"", "Ubertragung"},
      {"broken UTF-8", "DLG_X = \"\xC3\x9C\xC3\"", "\xC3\x9C\xC3"},
      {"UTF-8 beyond the code page",
       "DLG_X = \"\xC5\x81"
       "odz \xE2\x82\xAC\"",
       "?odz \x80"},
  };
  for (const auto& [what, file, expected] : cases) {
    config::Reset();
    WriteConfig(file);
    EXPECT_EQ(std::string(GetConfigText("DLG_X")), expected) << what;
    EXPECT_EQ(config::FindValue("DLG_X"), expected) << what;
  }
  // Group names keep 19 characters, not 19 bytes of UTF-8.
  config::Reset();
  WriteConfig("STAND_1 = \"" + std::string(25, 'x') + "\"\nSTAND_2 = \"" + std::string(12, 'a') +
              "\xC3\xA9\xC3\xA9\xC3\xA9"
              "bcdefgh\"");
  GroupNames names;
  names.Load();
  EXPECT_EQ(names.Stand(1), std::string(12, 'a') +
                                "\xE9\xE9\xE9"
                                "bcde");

  // The values follow the code page chosen after the file was read.
  config::Reset();
  WriteConfig(
      "CODE_PAGE = \"CP1250\"\nDLG_X = \"\xC5\x81\xC3\xB3"
      "d\xC5\xBA\"");
  EXPECT_EQ(std::string(GetConfigText("DLG_X")),
            "?\xF3"
            "d?");
  ASSERT_TRUE(SelectConfiguredCodePage());
  EXPECT_EQ(std::string(GetConfigText("DLG_X")), "\xA3\xF3\x64\x9F");
}

}  // namespace
