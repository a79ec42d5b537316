#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>

#include "WorkbookFormat.h"
#include "WorkbookReader.h"
#include "WorkbookSchema.h"

namespace {

using namespace std::string_literals;

TEST(WorkbookFormat, ToldByContentNotName) {
  EXPECT_EQ(WorkbookFormat::Detect("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1rest"s), WorkbookKind::Excel97);
  EXPECT_EQ(WorkbookFormat::Detect("PK\x03\x04....[Content_Types].xml...."s), WorkbookKind::OfficeOpenXml);
  EXPECT_EQ(WorkbookFormat::Detect("PK\x03\x04....mimetypeapplication/vnd.oasis.opendocument.spreadsheet"s),
            WorkbookKind::OpenDocument);
}

TEST(WorkbookFormat, OtherZipFilesAndOtherBytesAreNoWorkbooks) {
  EXPECT_EQ(WorkbookFormat::Detect(""), WorkbookKind::Unknown);
  EXPECT_EQ(WorkbookFormat::Detect("PK"), WorkbookKind::Unknown);
  EXPECT_EQ(WorkbookFormat::Detect("PK\x03\x04 readme.txt"s), WorkbookKind::Unknown);
  EXPECT_EQ(WorkbookFormat::Detect("PK\x03\x04 mimetypeapplication/vnd.oasis.opendocument.text"s),
            WorkbookKind::Unknown);
  EXPECT_EQ(WorkbookFormat::Detect("XLS_PLUNO,XLS_NAME\n1,Milk\n"), WorkbookKind::Unknown);
  EXPECT_EQ(WorkbookFormat::Detect("\xD0\xCF\x11\xE0"s), WorkbookKind::Unknown);
}

// Found by fuzzing: a part cut short inside a tag made the XML parser read one
// byte past the end of the part, and one ending in an unclosed attribute value
// with an entity sent it reading on until it crashed. Now both are damaged
// workbooks like any other.
TEST(WorkbookReader, PartsCutShortInsideATagAreDamagedWorkbooks) {
  for (const char* name : {"cut_short_tag.ods", "cut_short_tag.xlsx", "unclosed_value_entity.xlsx"}) {
    std::string error;
    EXPECT_EQ(WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/" + name, error), nullptr) << name;
    EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
  }
}

// Found by fuzzing: a 300-byte archive whose directory claims a 4 GiB part made
// the archive library allocate those 4 GiB before inflating anything.
// The second file stores its part uncompressed, claims 4 GiB of stored bytes
// for it and has an end record that counts no entries at all.
TEST(WorkbookReader, PartsClaimingImpossibleSizesAreDamagedWorkbooks) {
  for (const char* name : {"huge_declared_part.xlsx", "huge_stored_entry_uncounted.xlsx"}) {
    std::string error;
    EXPECT_EQ(WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/" + name, error), nullptr) << name;
    EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
  }
}

// Found by fuzzing: repeat counts in a few bytes of XML asked for two billion
// spaces in one cell, or a trillion copies of one row.
TEST(WorkbookReader, OpenDocumentRepeatCountsStayWithinSheetLimits) {
  std::string error;
  auto spaces = WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/repeated_spaces.ods", error);
  ASSERT_NE(spaces, nullptr) << error;
  std::size_t longest = 0;
  EXPECT_TRUE(spaces->VisitRows(
      spaces->FindSheet("ARTICLES"), 2,
      [&](std::size_t, std::span<const Cell> cells) {
        longest = std::max(longest, cells[0].text.size());
        return true;
      },
      error))
      << error;
  EXPECT_EQ(longest, 32767u);

  auto rows = WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/repeated_rows.ods", error);
  ASSERT_NE(rows, nullptr) << error;
  std::size_t visited = 0;
  EXPECT_FALSE(rows->VisitRows(
      rows->FindSheet("ARTICLES"), 2, [&](std::size_t, std::span<const Cell>) { return ++visited > 0; }, error));
  EXPECT_EQ(visited, std::size_t{1} << 20);
  EXPECT_NE(error.find("more than 1048576 rows"), std::string::npos) << error;
}

// Found by fuzzing: an .xls whose sheet dimension claims millions of rows had
// each of them visited, for seconds per sheet. Rows are now those the cells
// name, never more than an .xls sheet holds.
TEST(WorkbookReader, ExcelSheetsClaimingTooManyRowsAreDamaged) {
  std::string error;
  auto workbook = WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/huge_dimension.xls", error);
  ASSERT_NE(workbook, nullptr) << error;
  for (int sheet = 0; sheet < static_cast<int>(workbook->SheetNames().size()); ++sheet) {
    std::size_t visited = 0;
    error.clear();
    const bool read = workbook->VisitRows(
        sheet, 2, [&](std::size_t, std::span<const Cell>) { return ++visited > 0; }, error);
    EXPECT_LE(visited, 65536u);
    EXPECT_EQ(read, error.empty()) << error;
  }
}

TEST(WorkbookSchema, ColumnLettersAndPlaces) {
  EXPECT_EQ(schema::ColumnLetters(0), "A");
  EXPECT_EQ(schema::ColumnLetters(25), "Z");
  EXPECT_EQ(schema::ColumnLetters(26), "AA");
  EXPECT_EQ(schema::ColumnLetters(17), "R");
  EXPECT_EQ(schema::CellPlace("ARTICLES", 7, 3, schema::kArticleColumns),
            "sheet ARTICLES, row 7, column D (XLS_SING_PRICE)");
}

TEST(WorkbookSchema, ColumnOrderAndTypesOfBothSheets) {
  ASSERT_EQ(schema::kArticleColumns.size(), 18u);
  EXPECT_STREQ(schema::kArticleColumns[4].name, "XLS_BARCODE");
  EXPECT_STREQ(schema::kArticleColumns[12].name, "XLS_PLUNOLINK");
  EXPECT_STREQ(schema::kArticleColumns[17].name, "XLS_SOLDQTY");
  ASSERT_EQ(schema::kDepartmentColumns.size(), 13u);
  EXPECT_STREQ(schema::kDepartmentColumns[4].name, "XLS_DEPT_STOCK_GROUP");
  EXPECT_STREQ(schema::kDepartmentColumns[11].name, "XLS_DEPT_AMOUNT");
  EXPECT_STREQ(schema::kDepartmentColumns[12].name, "XLS_DEPT_SOLDQTY");
  for (const auto& columns : {std::span<const ColumnSpec>(schema::kArticleColumns),
                              std::span<const ColumnSpec>(schema::kDepartmentColumns)})
    for (std::size_t c = 0; c < columns.size(); ++c)
      EXPECT_EQ(columns[c].type, c == 1 || c == 2 ? ColumnType::Text : ColumnType::Number) << columns[c].name;
}

}  // namespace

#include "OoxmlText.h"

namespace {

TEST(OoxmlText, EscapesRoundTripAndLiteralLookalikesSurvive) {
  EXPECT_EQ(ooxml::DecodeEscapes("a_x0009_b_x00E9_"), "a\tb\xC3\xA9");
  EXPECT_EQ(ooxml::DecodeEscapes("_x12_ and _xZZZZ_ stay"), "_x12_ and _xZZZZ_ stay");
  EXPECT_EQ(ooxml::ProtectEscapes("_x0041_"), "_x005F_x0041_");
  for (const char* text : {"_x0041_", "x_x005F_y", "__x1234__", "plain"})
    EXPECT_EQ(ooxml::DecodeEscapes(ooxml::ProtectEscapes(text)), text);
}

}  // namespace

TEST(WorkbookReader, ExcelFilesThatCrashedTheFormerReaderAreReadSafely) {
  // Eleven bytes changed in a good workbook made the former library free a bad
  // pointer while opening it. They damage a sheet name, so no ARTICLES sheet.
  std::string error;
  auto workbook = WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/freexl_crash.xls", error);
  ASSERT_NE(workbook, nullptr) << error;
  EXPECT_EQ(workbook->FindSheet("ARTICLES"), -1);
  for (int sheet = 0; sheet < static_cast<int>(workbook->SheetNames().size()); ++sheet)
    workbook->VisitRows(sheet, 18, [](std::size_t, std::span<const Cell>) { return true; }, error);

  // A sound file still opens.
  workbook = WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/fixture.xls", error);
  EXPECT_NE(workbook, nullptr) << error;
}
