#include <gtest/gtest.h>

#include "data/CodePage.h"

namespace {

struct RestoreDefault {
  ~RestoreDefault() { codepage::Select(codepage::kDefault); }
};

}  // namespace

TEST(CodePage, DefaultConvertsBothWays) {
  RestoreDefault restore;
  EXPECT_EQ(codepage::Current(), "WINDOWS-1252");
  EXPECT_EQ(codepage::ToUtf8("Caf\xE9 \x80"), "Café €");
  EXPECT_EQ(codepage::FromUtf8("Café €"), "Caf\xE9 \x80");
  EXPECT_EQ(codepage::FromUtf8("O'Brien \"Best\""), "O'Brien \"Best\"");
  EXPECT_EQ(codepage::ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, CharactersWithoutAPlaceAreRefused) {
  RestoreDefault restore;
  EXPECT_FALSE(codepage::FromUtf8("Łódź"));             // Polish letters are not in Western European
  EXPECT_FALSE(codepage::FromUtf8("\xC3"));             // cut UTF-8 sequence
  EXPECT_FALSE(codepage::FromUtf8("\xFF\xFE"));         // not UTF-8 at all
  EXPECT_EQ(codepage::ToUtf8("\x81"), "\xEF\xBF\xBD");  // undefined in the code page
}

TEST(CodePage, AnotherCodePageCanBeChosen) {
  RestoreDefault restore;
  ASSERT_TRUE(codepage::Select("CP1250"));
  EXPECT_EQ(codepage::FromUtf8("Łódź"), "\xA3\xF3\x64\x9F");
  EXPECT_EQ(codepage::ToUtf8("\xA3\xF3\x64\x9F"), "Łódź");

  EXPECT_FALSE(codepage::Select("NO-SUCH-CODE-PAGE"));
  EXPECT_FALSE(codepage::Select("UTF-8"));   // not single-byte
  EXPECT_EQ(codepage::Current(), "CP1250");  // unchanged by the refusals
}
