#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <span>
#include <string>

#include "converter/WorkbookFormat.h"
#include "converter/WorkbookReader.h"
#include "converter/WorkbookSchema.h"
#include "converter/ZipPackage.h"

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
  for (const auto& columns :
       {std::span<const ColumnSpec>(schema::kArticleColumns), std::span<const ColumnSpec>(schema::kDepartmentColumns)})
    for (std::size_t c = 0; c < columns.size(); ++c)
      EXPECT_EQ(columns[c].type, c == 1 || c == 2 ? ColumnType::Text : ColumnType::Number) << columns[c].name;
}

}  // namespace

#include "converter/OoxmlText.h"

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
    workbook->VisitRows(
        sheet, 18, [](std::size_t, std::span<const Cell>) { return true; }, error);

  // A sound file still opens.
  workbook = WorkbookReader::Open(std::string(CONVERTER_FIXTURES) + "/fixture.xls", error);
  EXPECT_NE(workbook, nullptr) << error;
}

namespace {

// A ZIP file of one part, stored or deflated (zlib's raw deflate), whose
// directory gives declared as the unpacked size.
std::string ZipOf(const std::string& name, const std::string& data, bool deflated, std::uint32_t declared) {
  auto u16 = [](unsigned v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; };
  auto u32 = [&](std::uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
  std::string packed = data;
  if (deflated) {
    z_stream z{};
    deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    packed.assign(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
  }
  const auto crc =
      static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  const std::string common = u16(20) + u16(0) + u16(deflated ? 8 : 0) + u32(0) + u32(crc) +
                             u32(static_cast<std::uint32_t>(packed.size())) + u32(declared) +
                             u16(static_cast<unsigned>(name.size())) + u16(0);
  const std::string local = "PK\x03\x04" + common + name + packed;
  const std::string central = "PK\x01\x02" + u16(20) + common + u16(0) + u16(0) + u16(0) + u32(0) + u32(0) + name;
  return local + central + "PK\x05\x06" + u16(0) + u16(0) + u16(1) + u16(1) +
         u32(static_cast<std::uint32_t>(central.size())) + u32(static_cast<std::uint32_t>(local.size())) + u16(0);
}

// The largest real workbooks (49,999 articles as LibreOffice saves them in
// .ods) have parts of 75 MB and more: they are read whole. A part larger than
// the cap is too large, not damaged; one larger than it says is damaged.
TEST(ZipPackage, RealSizedPartsAreReadAndLargerOnesAreTooLarge) {
  {
    const std::string big((std::size_t{65} << 20) + 12345, 'x');
    const ZipPackage package(ZipOf("content.xml", big, true, static_cast<std::uint32_t>(big.size())));
    std::vector<unsigned char> read;
    ASSERT_TRUE(package.ReadPart("content.xml", read));
    EXPECT_EQ(read.size(), big.size());
    EXPECT_GE(read.capacity(), big.size() + 2);  // the parser's end marker fits without a copy
  }

  const std::string small(1000, ' ');
  // Bytes deflate cannot shrink much: declaring the cap is then no lie.
  std::string noise(200000, '\0');
  std::uint32_t seed = 1;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  const struct {
    const char* what;
    std::string zip;
    bool tooLarge;
  } cases[] = {
      {"declares more than the cap", ZipOf("a.xml", noise, true, ZipPackage::kMaxPartSize + 1), true},
      {"unpacks to more than it declares", ZipOf("a.xml", small, true, 999), false},
      {"declares more than deflate can make of it", ZipOf("a.xml", small, true, 0xFFFFFFF0u), false},
      {"stored, declares more than it holds", ZipOf("a.xml", small, false, 4000), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ZipPackage package(c.zip);
    std::vector<unsigned char> read;
    try {
      package.ReadPart("a.xml", read);
      ADD_FAILURE() << "read";
    } catch (const ZipPackage::TooLarge& e) {
      EXPECT_TRUE(c.tooLarge) << e.what();
      EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    } catch (const std::runtime_error& e) {
      EXPECT_FALSE(c.tooLarge) << e.what();
    }
  }
}

}  // namespace
