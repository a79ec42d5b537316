// The .xls reader on workbooks built record by record: every kind of cell the
// format stores, formula results included, and the files it must refuse.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/converter/TestSupport.h"
#include "converter/WorkbookFormat.h"
#include "converter/WorkbookReader.h"

namespace {

using namespace testsupport;
using namespace std::string_literals;

std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string F64(double v) {
  std::string bytes(8, '\0');
  std::memcpy(bytes.data(), &v, 8);
  return bytes;
}
std::string Record(unsigned type, const std::string& data) {
  return U16(type) + U16(static_cast<unsigned>(data.size())) + data;
}
// A string of one-byte characters with a 16-bit count, as cells and shared strings hold it.
std::string Text16(const std::string& latin1) { return U16(static_cast<unsigned>(latin1.size())) + '\0' + latin1; }
std::string Cell(unsigned row, unsigned column, unsigned xf) { return U16(row) + U16(column) + U16(xf); }

constexpr unsigned kDateXf = 16;  // the XF below that shows dates

enum class Biff { k8, k5 };

// A BIFF8 (or BIFF5) workbook stream: the given global records, then one sheet
// per entry. BIFF5 sheet names are bytes without a flags byte.
std::string WorkbookStream(const std::string& globals, const std::vector<std::pair<std::string, std::string>>& sheets,
                           Biff biff = Biff::k8) {
  const std::string version = biff == Biff::k8 ? U16(0x0600) : U16(0x0500);
  const std::string nameFlags = biff == Biff::k8 ? std::string(1, '\0') : std::string();
  std::string head = Record(0x0809, version + U16(0x0005) + std::string(12, '\0'));
  for (unsigned xf = 0; xf <= kDateXf; ++xf)
    head += Record(0x00E0, U16(0) + U16(xf == kDateXf ? 14 : 0) + std::string(16, '\0'));
  head += globals;
  std::size_t size = head.size() + Record(0x000A, "").size();
  for (const auto& sheet : sheets) size += Record(0x0085, U32(0) + U16(0) + '\0' + nameFlags + sheet.first).size();
  std::string body;
  for (const auto& [name, cells] : sheets) {
    head += Record(0x0085, U32(static_cast<std::uint32_t>(size + body.size())) + U16(0) +
                               static_cast<char>(name.size()) + nameFlags + name);
    body += Record(0x0809, version + U16(0x0010) + std::string(12, '\0')) + cells + Record(0x000A, "");
  }
  return head + Record(0x000A, "") + body;
}

// A compound file holding the given streams.
void WriteCompoundFile(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), nullptr);
  ASSERT_NE(sink, nullptr);
  GsfOutfile* ole = gsf_outfile_msole_new(sink);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  gsf_output_close(sink);
  g_object_unref(sink);
}

// The first row's cells of sheet S of an .xls made of these records.
std::vector<::Cell> ReadRow(const fs::path& path, const std::string& globals, const std::string& cells,
                            std::size_t columns, std::string& error) {
  WriteCompoundFile(path, {{"Workbook", WorkbookStream(globals, {{"S", cells}})}});
  auto workbook = WorkbookReader::Open(path.string(), error);
  if (!workbook) return {};
  std::vector<::Cell> row;
  if (!workbook->VisitRows(
          0, columns,
          [&](std::size_t, std::span<const ::Cell> c) {
            row.assign(c.begin(), c.end());
            return false;
          },
          error))
    return {};
  return row;
}

std::string Sst(const std::string& strings, unsigned count) { return U32(count) + U32(count) + strings; }

TEST(XlsReader, EveryKindOfCellGivesTheValueItShows) {
  struct Case {
    const char* what;
    std::string globals, cells;
    ::Cell want;
  };
  const std::string formula = Cell(0, 0, 0);
  const std::string notNumber = U16(0xFFFF);
  const std::vector<Case> cases = {
      {"number", "", Record(0x0203, Cell(0, 0, 0) + F64(1.5)), ::Cell::Number(1.5)},
      {"RK integer", "", Record(0x027E, Cell(0, 0, 0) + U32(42u << 2 | 2)), ::Cell::Number(42)},
      {"RK hundredths", "", Record(0x027E, Cell(0, 0, 0) + U32(119u << 2 | 3)), ::Cell::Number(1.19)},
      {"MULRK", "", Record(0x00BD, U16(0) + U16(0) + U16(0) + U32(7u << 2 | 2) + U16(0)), ::Cell::Number(7)},
      {"text", "", Record(0x0204, Cell(0, 0, 0) + Text16("Milk")), ::Cell::Text("Milk")},
      {"empty text", "", Record(0x0204, Cell(0, 0, 0) + Text16("")), ::Cell::Text("")},
      {"wide text", "", Record(0x0204, Cell(0, 0, 0) + U16(2) + '\x01' + "\xC4\x00\xAC\x20"s),
       ::Cell::Text("\xC3\x84\xE2\x82\xAC")},
      {"shared text", Record(0x00FC, Sst(Text16("Bread") + Text16(""), 2)), Record(0x00FD, Cell(0, 0, 0) + U32(0)),
       ::Cell::Text("Bread")},
      {"empty shared text", Record(0x00FC, Sst(Text16("Bread") + Text16(""), 2)),
       Record(0x00FD, Cell(0, 0, 0) + U32(1)), ::Cell::Text("")},
      // The shared text goes on in a CONTINUE record, in two-byte characters.
      {"shared text across records", Record(0x00FC, Sst(U16(4) + '\0' + "Mi", 1)) + Record(0x003C, "\x01l\0k\0"s),
       Record(0x00FD, Cell(0, 0, 0) + U32(0)), ::Cell::Text("Milk")},
      {"boolean", "", Record(0x0205, Cell(0, 0, 0) + "\x01\x00"s), ::Cell::Number(1)},
      {"error", "", Record(0x0205, Cell(0, 0, 0) + "\x07\x01"s), ::Cell::Text("#DIV/0!")},
      {"formula number", "", Record(0x0006, formula + F64(2.5) + U16(0) + U32(0) + U16(0)), ::Cell::Number(2.5)},
      {"formula text", "",
       Record(0x0006, formula + "\x00\x00\x00\x00\x00\x00"s + notNumber + U16(0) + U32(0) + U16(0)) +
           Record(0x0207, Text16("Milk 1L")),
       ::Cell::Text("Milk 1L")},
      {"formula boolean", "",
       Record(0x0006, formula + "\x01\x00\x01\x00\x00\x00"s + notNumber + U16(0) + U32(0) + U16(0)), ::Cell::Number(1)},
      {"formula error", "",
       Record(0x0006, formula + "\x02\x00\x2A\x00\x00\x00"s + notNumber + U16(0) + U32(0) + U16(0)),
       ::Cell::Text("#N/A")},
      {"formula empty text", "",
       Record(0x0006, formula + "\x03\x00\x00\x00\x00\x00"s + notNumber + U16(0) + U32(0) + U16(0)), ::Cell::Text("")},
      {"date", "", Record(0x0203, Cell(0, 0, kDateXf) + F64(45352)), ::Cell::Date("45352")},
      {"date by formula", "", Record(0x0006, Cell(0, 0, kDateXf) + F64(45352) + U16(0) + U32(0) + U16(0)),
       ::Cell::Date("45352")},
      {"date in a format of its own", Record(0x041E, U16(200) + Text16("dd/mm/yy")),
       Record(0x0203, Cell(0, 0, 17) + F64(1)), ::Cell::Date("1")},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string globals = c.globals;
    // XF 17 shows format 200, whatever it is.
    globals += Record(0x00E0, U16(0) + U16(200) + std::string(16, '\0'));
    std::string error;
    const auto row = ReadRow(dir / "cells.xls", globals, c.cells, 1, error);
    ASSERT_EQ(row.size(), 1u) << error;
    EXPECT_EQ(row[0].kind, c.want.kind);
    EXPECT_EQ(row[0].number, c.want.number);
    EXPECT_EQ(row[0].text, c.want.text);
  }
}

TEST(XlsReader, FilesItCannotReadSayWhy) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> streams;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"password on an .xls",
       {{"Workbook", WorkbookStream(Record(0x002F, U16(1) + std::string(52, '\0')), {{"S", ""}})}},
       kPasswordProtected},
      {"password on an .xlsx",
       {{"EncryptionInfo", std::string(64, '\x04')}, {"EncryptedPackage", std::string(64, 'x')}},
       kPasswordProtected},
      {"Excel 95 with a sheet record cut short",
       {{"Book", Record(0x0809, U16(0x0500) + U16(5)) + Record(0x0085, U16(1))}},
       "damaged Excel 5.0/95 workbook"},
      {"Excel 95 in a code page of several bytes a character",
       {{"Book", WorkbookStream(Record(0x0042, U16(932)), {{"S", ""}}, Biff::k5)}},
       "damaged Excel 5.0/95 workbook: its texts are in code page 932, which cannot be read here"},
      {"Excel 4.0", {{"Book", Record(0x0409, U16(0x0000) + U16(0x0010))}}, "damaged Excel 97-2003 workbook"},
      {"no workbook at all", {{"Other", "x"}}, "damaged Excel workbook: it has no Workbook or Book stream"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteCompoundFile(dir / "bad.xls", c.streams);
    std::string error;
    EXPECT_EQ(WorkbookReader::Open((dir / "bad.xls").string(), error), nullptr);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(XlsReader, DamagedSheetsAreRefusedNotReadAsEmpty) {
  const std::string formulaText =
      Record(0x0006, Cell(0, 0, 0) + std::string(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0));
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"formula text without its STRING record", formulaText},
      {"shared text that is not there", Record(0x00FD, Cell(0, 0, 0) + U32(3))},
      {"record cut short", Record(0x0203, Cell(0, 0, 0) + F64(1)).substr(0, 10)},
  };
  ScratchDir dir;
  for (const auto& [what, cells] : cases) {
    SCOPED_TRACE(what);
    std::string error;
    EXPECT_TRUE(ReadRow(dir / "bad.xls", "", cells, 1, error).empty());
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
  }
}

}  // namespace

namespace {

TEST(XlsReader, RowsComeInOrderWhateverTheOrderOfTheRecords) {
  ScratchDir dir;
  for (const std::vector<unsigned>& order : {std::vector<unsigned>{0, 1, 2}, std::vector<unsigned>{2, 0, 1}}) {
    std::string cells;
    for (const unsigned row : order) cells += Record(0x0203, Cell(row, 1, 0) + F64(row * 10.0));
    WriteCompoundFile(dir / "rows.xls", {{"Workbook", WorkbookStream("", {{"S", cells}})}});
    std::string error;
    auto workbook = WorkbookReader::Open((dir / "rows.xls").string(), error);
    ASSERT_NE(workbook, nullptr) << error;
    std::vector<std::pair<std::size_t, double>> seen;
    ASSERT_TRUE(workbook->VisitRows(
        0, 2,
        [&](std::size_t row, std::span<const ::Cell> c) {
          seen.emplace_back(row, c[1].number);
          return true;
        },
        error))
        << error;
    EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, double>>{{0, 0.0}, {1, 10.0}, {2, 20.0}}));
  }
}

}  // namespace

namespace {

// Excel 5.0/95 keeps its texts as bytes of the code page its CODEPAGE record
// names (Windows-1252 without one), in a stream named Book or Workbook.
TEST(XlsReader, Excel95TextsAreReadInTheWorkbooksCodePage) {
  struct Case {
    const char* what;
    const char* streamName;
    std::string globals;
    std::string sheetName, cellBytes;
    std::string wantSheet, wantText;
  };
  const std::vector<Case> cases = {
      {"no CODEPAGE record", "Book", "", "Caf\xE9", "Cr\xE8me \x80", "Caf\xC3\xA9", "Cr\xC3\xA8me \xE2\x82\xAC"},
      {"Cyrillic", "Book", Record(0x0042, U16(1251)), "\xD2\xEE\xE2\xE0\xF0", "\xCC\xEE\xEB\xEE\xEA\xEE",
       "\xD0\xA2\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80", "\xD0\x9C\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xBA\xD0\xBE"},
      {"Central European, in a Workbook stream", "Workbook", Record(0x0042, U16(1250)), "S", "\x8A\x9A", "S",
       "\xC5\xA0\xC5\xA1"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // One text as LABEL, one as the STRING result of a formula, one as RSTRING
    // (formatting runs after it); a number, and a date by a format of its own.
    const std::string text = U16(static_cast<unsigned>(c.cellBytes.size())) + c.cellBytes;
    const std::string cells =
        Record(0x0204, Cell(0, 0, 0) + text) +
        Record(0x0006, Cell(0, 1, 0) + std::string(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0)) +
        Record(0x0207, text) + Record(0x00D6, Cell(0, 2, 0) + text + "\x01\x00\x00"s) +
        Record(0x027E, Cell(0, 3, 0) + U32(119u << 2 | 3)) + Record(0x0203, Cell(0, 4, 17) + F64(2));
    const std::string globals = c.globals + Record(0x041E, U16(200) + '\x08' + "dd.mm.yy") +
                                Record(0x00E0, U16(0) + U16(200) + std::string(12, '\0'));
    WriteCompoundFile(dir / "95.xls", {{c.streamName, WorkbookStream(globals, {{c.sheetName, cells}}, Biff::k5)}});
    std::string error;
    auto workbook = WorkbookReader::Open((dir / "95.xls").string(), error);
    ASSERT_NE(workbook, nullptr) << error;
    EXPECT_EQ(workbook->SheetNames(), std::vector<std::string>{c.wantSheet});
    std::vector<::Cell> row;
    ASSERT_TRUE(workbook->VisitRows(
        0, 5,
        [&](std::size_t, std::span<const ::Cell> got) {
          row.assign(got.begin(), got.end());
          return false;
        },
        error))
        << error;
    ASSERT_EQ(row.size(), 5u);
    for (std::size_t column = 0; column < 3; ++column) {
      EXPECT_TRUE(row[column].IsText()) << column;
      EXPECT_EQ(row[column].text, c.wantText) << column;
    }
    EXPECT_EQ(row[3].number, 1.19);
    EXPECT_TRUE(row[4].IsDate());
  }
}

}  // namespace

namespace {

// The compound file library complains on standard error about damage it finds
// (failed assertions, unknown entry types); the operator sees only the
// converter's own lines, and the library's with --trace.
TEST(XlsReader, TheLibrarysOwnComplaintsStayOffStandardError) {
  const std::string sound = ReadBytes(fs::path(CONVERTER_FIXTURES) / "fixture_biff5.xls");
  const auto directoryEntry = [&](std::size_t index) {
    const std::uint32_t sector = static_cast<unsigned char>(sound[0x30]) | static_cast<unsigned char>(sound[0x31]) << 8;
    return 512 + std::size_t{sector} * 512 + 128 * index;
  };
  std::string noRoot = sound;  // the root entry's type is no known type
  noRoot[directoryEntry(0) + 0x42] = '\0';
  std::string rootSibling = sound;  // the root entry names the Book entry as its sibling
  rootSibling.replace(directoryEntry(0) + 0x48, 4, U32(1));
  std::string farSibling = sound;  // the Book entry names a sibling far past the directory
  farSibling.replace(directoryEntry(1) + 0x48, 4, U32(0x7FFFFFF0u));
  const struct {
    const char* what;
    std::string bytes;
    int status;
    std::string errors;
    bool libraryTalks;
  } cases[] = {
      {"unknown root entry", noRoot, 1,
       "damaged Excel 97-2003 workbook: Problems reading directory\nnothing was imported\nXLS Database Write Error\n",
       true},
      {"sibling past the directory", farSibling, 0, "", true},
      // Refused before the library reads it: it would lose the sibling's entry.
      {"root entry with a sibling", rootSibling, 1,
       "damaged Excel workbook: the root entry of its directory has siblings\nnothing was imported\nXLS Database Write "
       "Error\n",
       false},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir / "damaged.xls", c.bytes);
    RunResult result = RunProgram(dir.path(), {"alal", "-UP", "-Iout.db", "-Odamaged.xls"});
    EXPECT_EQ(result.status, c.status) << result.errors;
    EXPECT_EQ(result.errors, c.errors);
    // Asked for, the library's lines come too, named by their source.
    result = RunProgram(dir.path(), {"alal", "-UP", "-Iout.db", "-Odamaged.xls", "--trace"});
    EXPECT_EQ(result.status, c.status) << result.errors;
    EXPECT_EQ(result.errors.find("libgsf") != std::string::npos, c.libraryTalks) << result.errors;
    EXPECT_TRUE(result.errors.ends_with(c.errors)) << result.errors;
  }
}

}  // namespace
