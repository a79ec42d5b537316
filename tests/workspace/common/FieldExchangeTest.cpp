#include <gtest/gtest.h>

#include "data/CodePage.h"
#include "workspace/common/FieldExchange.h"
#include "workspace/common/RecordNameText.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

TEST(FieldExchangeTest, NumbersShowInTheirShortestForm) {
  EXPECT_EQ(FieldExchange::ShowNumber(1.5), "1.5");
  EXPECT_EQ(FieldExchange::ShowNumber(2), "2");
  EXPECT_EQ(FieldExchange::ShowNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(FieldExchange::ShowNumber(1234567890123456.0), "1.23456789012346e+15");
  EXPECT_EQ(FieldExchange::ShowQuantity(12.5), "12.500");
  EXPECT_EQ(FieldExchange::ShowUnsigned(4294967293u), "4294967293");
  EXPECT_EQ(FieldExchange::ShowSigned(-5), "-5");
}

TEST(FieldExchangeTest, TypedNumbersAreReadWhole) {
  EXPECT_EQ(FieldExchange::ReadInteger(" +7\t", 0, 10), 7);
  EXPECT_EQ(FieldExchange::ReadInteger("-10", -10, 10), -10);
  EXPECT_EQ(FieldExchange::ReadDecimal(".5", 0, 1), 0.5);
  EXPECT_EQ(FieldExchange::ReadDecimal("5,", 0, 10), 5.0);
  for (const char* text : {"", "-", ",", "7 7", "1,2,3", "1.2.3", "0x10", "1e2", "99999999999999999999", "--1"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(FieldExchange::ReadInteger(text, INT64_MIN, INT64_MAX));
    if (std::string_view(text) != "99999999999999999999") {
      EXPECT_FALSE(FieldExchange::ReadDecimal(text, -1e300, 1e300));
    }
  }
  EXPECT_FALSE(FieldExchange::ReadInteger("11", 0, 10));
  EXPECT_FALSE(FieldExchange::ReadDecimal("-0.01", 0, 10));
}

TEST(FieldExchangeTest, PositionsOutsideTheListSelectNothing) {
  ListControl list{{"a", "b"}, 0, true};
  FieldExchange::ShowPosition(list, 2);
  EXPECT_EQ(list.selected, -1);
  EXPECT_EQ(FieldExchange::ReadPosition(list), -1);
  FieldExchange::ShowPosition(list, 1);
  EXPECT_EQ(FieldExchange::ReadPosition(list), 1);
  FieldExchange::ShowPosition(list, -4);
  EXPECT_EQ(list.selected, -1);
}

TEST(FieldExchangeTest, PrefixMatchIgnoresCaseBeyondAscii) {
  EXPECT_TRUE(FieldExchange::StartsWithIgnoringCase("COM1", "com"));
  EXPECT_TRUE(FieldExchange::StartsWithIgnoringCase("\xC3\x89t\xC3\xA9", "\xC3\xA9T"));  // Été / éT
  EXPECT_TRUE(FieldExchange::StartsWithIgnoringCase("\xD0\x96", "\xD0\xB6"));            // Ж / ж
  EXPECT_TRUE(
      FieldExchange::StartsWithIgnoringCase("\xC5\x81\xC3\xB3"
                                            "d\xC5\xBA",
                                            "\xC5\x82"));                // Łódź / ł
  EXPECT_FALSE(FieldExchange::StartsWithIgnoringCase("\xC3\x81", "a"));  // accents count
  EXPECT_FALSE(FieldExchange::StartsWithIgnoringCase("A", "AB"));
  EXPECT_TRUE(FieldExchange::StartsWithIgnoringCase("A", ""));
}

TEST(FieldExchangeTest, PrefixShowingKeepsTheSelectionWithoutAMatch) {
  ListControl list{{"A", "B", "C"}, 1, true};
  FieldExchange::ShowPrefix(list, "x");
  EXPECT_EQ(list.selected, 1);
  FieldExchange::ShowPrefix(list, "c");
  EXPECT_EQ(list.selected, 2);
}

TEST(RecordNameTextTest, LengthCountsCodePageBytes) {
  WorkspaceTestConfig config;
  EXPECT_EQ(RecordNameText::CodePageLength("caf\xC3\xA9"), 4u);
  EXPECT_EQ(RecordNameText::CodePageLength("\xE2\x98\x95x"), 2u);
  EXPECT_TRUE(RecordNameText::Fits(std::string(49, 'a')));
  EXPECT_FALSE(RecordNameText::Fits(std::string(48, 'a') + "\xC3\xA9\xC3\xA9"));
  EXPECT_EQ(RecordNameText::Unstorable("a\xE2\x98\x95 b \xE2\x98\x95\xCE\xA9"), "\xE2\x98\x95 \xCE\xA9");
}

TEST(RecordNameTextTest, NamesFollowTheConfiguredCodePage) {
  WorkspaceTestConfig config;
  ASSERT_TRUE(codepage::Select("CP1250"));
  RecordNameText name;
  name.Load("");
  EXPECT_FALSE(
      name.Check("\xC5\x81\xC3\xB3"
                 "d\xC5\xBA"));  // Łódź is in CP1250
  char stored[kNameFieldSize];
  name.Store(
      "\xC5\x81\xC3\xB3"
      "d\xC5\xBA",
      stored);
  EXPECT_STREQ(stored,
               "\xA3\xF3"
               "d\x9F");
  codepage::Select(codepage::kDefault);
  EXPECT_TRUE(
      name.Check("\xC5\x81\xC3\xB3"
                 "d\xC5\xBA"));  // not in Windows-1252
}

}  // namespace
