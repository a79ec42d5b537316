#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <locale.h>

#include "data/CFormat.h"
#include "data/FieldReader.h"
#include "data/Records.h"

TEST(Numbers, LeadingNumbersFollowTheCLibraryRules) {
  EXPECT_EQ(ReadLeadingInteger("  12abc"), 12);
  EXPECT_EQ(ReadLeadingInteger("-3"), -3);
  EXPECT_EQ(ReadLeadingInteger("+7"), 7);
  EXPECT_FALSE(ReadLeadingInteger(""));
  EXPECT_FALSE(ReadLeadingInteger("abc"));
  EXPECT_FALSE(ReadLeadingInteger("- 3"));
  EXPECT_EQ(ReadLeadingInteger("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ReadLeadingInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());

  EXPECT_EQ(ReadLeadingDouble("12,5"), 12.0);
  EXPECT_EQ(ReadLeadingDouble(" -1.5e2x"), -150.0);
  EXPECT_EQ(ReadLeadingDouble(".5"), 0.5);
  EXPECT_FALSE(ReadLeadingDouble("."));
  EXPECT_FALSE(ReadLeadingDouble("--1"));
  EXPECT_TRUE(std::isinf(*ReadLeadingDouble("1e999")));
  EXPECT_EQ(LeadingDoubleOrZero("x"), 0.0);
  EXPECT_EQ(LeadingIntegerOrZero("x"), 0);
}

TEST(Numbers, TruncationSaturates) {
  EXPECT_EQ(TruncateToInt64(1234567890123.9), 1234567890123);
  EXPECT_EQ(TruncateToInt64(-2.7), -2);
  EXPECT_EQ(TruncateToInt64(std::nan("")), 0);
  EXPECT_EQ(TruncateToInt64(1e30), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(TruncateToInt32(-1e30), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TruncateToInt32(3.99), 3);
}

TEST(Numbers, FormattingIgnoresTheLocale) {
  // Try a locale with a decimal comma when the machine has one.
  const char* previous = setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
    if (setlocale(LC_ALL, name)) break;
  }
  EXPECT_EQ(CFormat("%2.2f|%.13lld|%1.3f", 1.5, 123LL, 2.0), "1.50|0000000000123|2.000");
  EXPECT_EQ(ReadLeadingDouble("2.75"), 2.75);
  setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(CFormat("%s", std::string(300, 'x').c_str()).size(), 300u);
}

TEST(FieldReader, SplitsLikeTheRegisterReplies) {
  FieldReader fields(MarkEmptyNames("N,42,,x,\nrest"));
  EXPECT_EQ(fields.Next(","), "N");
  EXPECT_EQ(fields.Next(","), "42");
  EXPECT_EQ(fields.Next(","), "x");   // the empty field between ",," does not exist
  EXPECT_EQ(fields.Next("\n"), " ");  // an empty name arrives as one blank
  EXPECT_EQ(fields.Next(","), "rest");
  EXPECT_FALSE(fields.Next(","));
  EXPECT_FALSE(fields.Next(","));

  FieldReader separatorsOnly(",,,");
  EXPECT_FALSE(separatorsOnly.Next(","));
}

TEST(Records, NamesAreCutAndTerminated) {
  ArticleRecord record = ZeroArticle();
  SetName(record.NAME, std::string(60, 'n'));
  EXPECT_EQ(NameOf(record.NAME).size(), 49u);
  EXPECT_EQ(record.NAME[49], '\0');

  std::memset(record.NAME, 'q', sizeof record.NAME);
  EXPECT_EQ(NameOf(record.NAME).size(), 49u);  // no terminator: never past 49

  SetName(record.NAME, std::string("ab\0cd", 5));
  EXPECT_EQ(NameOf(record.NAME), "ab");
  EXPECT_EQ(record.NAME[3], '\0');  // the rest is zero-filled
}

TEST(Records, NotControlledValues) {
  EXPECT_TRUE(IsNotControlled(999999.999, 1));
  EXPECT_FALSE(IsNotControlled(999999.999, 0));
  EXPECT_TRUE(IsNotControlled(999999999.0, 0));
  EXPECT_TRUE(IsNotControlled(999999999.5, 0));
  EXPECT_FALSE(IsNotControlled(999999999.0, 1));
  EXPECT_FALSE(IsNotControlled(12.5, 1));
  EXPECT_FALSE(IsNotControlled(std::nan(""), 0));
  EXPECT_EQ(NotControlledValue(1), 999999.999);
  EXPECT_EQ(NotControlledValue(0), 999999999.0);
}

TEST(Records, DefaultDepartment) {
  const DepartmentRecord department = DefaultDepartment(42, 'B');
  EXPECT_EQ(department.DEPTNO, 42u);
  EXPECT_EQ(NameOf(department.NAME), "Department 42");
  EXPECT_EQ(department.TAX_GROUP, 'B');
  EXPECT_EQ(department.OPT_FRACT_QTY, 1);
  EXPECT_EQ(department.STAND, 0);
  EXPECT_EQ(department.downloaded, 0);
}
