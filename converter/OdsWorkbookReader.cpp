#include "converter/OdsWorkbookReader.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

#include "data/CFormat.h"
#include "converter/SaxParse.h"
#include "converter/WorkbookFormat.h"
#include "converter/ZipPackage.h"

namespace {

using orcus::sax::parser_element;

// Finds the top-level tables and where each lies in the part.
struct TableListHandler : sax::AttributeHandler {
  struct Found {
    std::string name;
    std::size_t begin, end;
  };
  std::vector<Found> tables;
  int depth = 0;  // tables may nest inside cells; only the outer ones are sheets

  void start_element(const parser_element& e) {
    if (e.name == "table") {
      if (depth++ == 0) tables.push_back({ValueOf("name"), static_cast<std::size_t>(e.begin_pos), 0});
    }
    Forget();
  }
  void end_element(const parser_element& e) {
    if (e.name == "table" && --depth == 0) tables.back().end = static_cast<std::size_t>(e.end_pos);
  }
};

// Thrown to end a walk the visitor no longer wants.
struct StopWalk {};

// Limits of the sheets spreadsheet programs write: a repeat count in a few
// bytes of XML must not turn into gigabytes of spaces or endless rows.
constexpr std::size_t kMaxRows = std::size_t{1} << 20;
constexpr std::size_t kMaxCellText = 32767;

std::size_t RepeatOf(const sax::AttributeHandler& h, std::string_view name) {
  const auto* a = h.Find(name);
  if (!a) return 1;
  const auto n = LeadingIntegerOrZero(a->value);
  return n > 0 ? static_cast<std::size_t>(n) : 1;
}

// One table: rows with their repeat counts, cells with theirs, text from the
// paragraphs of a cell (comments left out).
struct TableHandler : sax::AttributeHandler {
  const WorkbookReader::RowVisitor& visit;
  std::vector<Cell> cells;
  std::size_t row = 0, rowRepeat = 1, column = 0, columnRepeat = 1;
  int nestedTables = 0, annotation = 0, paragraph = 0, paragraphs = 0;
  bool inCell = false;
  std::string valueType, value, stringValue, text;

  TableHandler(const WorkbookReader::RowVisitor& v, std::size_t columns) : visit(v), cells(columns) {}

  void start_element(const parser_element& e) {
    const std::string_view name = e.name;
    if (name == "table") {
      ++nestedTables;
    } else if (nestedTables > 1) {
      // a table inside a cell: not part of this sheet's grid
    } else if (name == "table-row") {
      rowRepeat = RepeatOf(*this, "number-rows-repeated");
      column = 0;
      std::fill(cells.begin(), cells.end(), Cell::Empty());
    } else if (name == "table-cell" || name == "covered-table-cell") {
      inCell = true;
      columnRepeat = RepeatOf(*this, "number-columns-repeated");
      valueType = ValueOf("value-type");
      value = valueType == "boolean" ? ValueOf("boolean-value")
              : valueType == "date"  ? ValueOf("date-value")
              : valueType == "time"  ? ValueOf("time-value")
                                     : ValueOf("value");
      const Attribute* s = Find("string-value");
      stringValue = s ? s->value : std::string();
      if (s) valueType += "+";  // marks that the attribute was there
      text.clear();
      paragraphs = 0;
    } else if (inCell && name == "annotation") {
      ++annotation;
    } else if (inCell && annotation == 0) {
      if (name == "p" || name == "h") {
        if (paragraphs++ > 0) text += '\n';
        ++paragraph;
      } else if (paragraph > 0 && name == "s") {
        const std::size_t room = kMaxCellText - std::min(text.size(), kMaxCellText);
        text.append(std::min(RepeatOf(*this, "c"), room), ' ');
      } else if (paragraph > 0 && name == "tab") {
        text += '\t';
      } else if (paragraph > 0 && name == "line-break") {
        text += '\n';
      }
    }
    Forget();
  }

  void characters(std::string_view chars, bool) {
    if (inCell && annotation == 0 && paragraph > 0 && nestedTables <= 1) text += chars;
  }

  void end_element(const parser_element& e) {
    const std::string_view name = e.name;
    if (name == "table") {
      --nestedTables;
    } else if (nestedTables > 1) {
    } else if (name == "table-cell" || name == "covered-table-cell") {
      inCell = false;
      const Cell cell = Decode();
      for (std::size_t i = 0; i < columnRepeat && column < cells.size(); ++i) cells[column++] = cell;
      if (column >= cells.size()) column = cells.size();
    } else if (name == "annotation" && inCell) {
      --annotation;
    } else if ((name == "p" || name == "h") && paragraph > 0) {
      --paragraph;
    } else if (name == "table-row") {
      const bool blank = std::all_of(cells.begin(), cells.end(), [](const Cell& c) { return c.IsEmpty(); });
      // Sheets end in rows repeated a million times over; blank ones are no rows.
      if (blank) {
        row += std::min(rowRepeat, kMaxRows);  // cannot wrap around
        return;
      }
      for (std::size_t i = 0; i < rowRepeat; ++i) {
        if (row >= kMaxRows) throw std::runtime_error("more than " + std::to_string(kMaxRows) + " rows");
        if (!visit(row++, cells)) throw StopWalk{};
      }
    }
  }

  Cell Decode() const {
    const bool hasStringValue = !valueType.empty() && valueType.back() == '+';
    const std::string_view type =
        hasStringValue ? std::string_view(valueType).substr(0, valueType.size() - 1) : std::string_view(valueType);
    if (type == "float" || type == "percentage" || type == "currency") {
      if (const auto number = ReadLeadingDouble(value)) return Cell::Number(*number);
      return Cell::Text(text);
    }
    if (type == "boolean") return Cell::Number(value == "true" ? 1.0 : 0.0);
    if (type == "date" || type == "time") return Cell::Date(value);
    if (hasStringValue) return stringValue.empty() ? Cell::Empty() : Cell::Text(stringValue);
    return text.empty() ? Cell::Empty() : Cell::Text(text);
  }
};

// A package saved with a password keeps its parts encrypted; the manifest says so.
bool IsEncrypted(const ZipPackage& package) {
  std::vector<unsigned char> manifest;
  if (!package.ReadPart("META-INF/manifest.xml", manifest)) return false;
  const std::string_view text(reinterpret_cast<const char*>(manifest.data()), manifest.size());
  return text.find("encryption-data") != std::string_view::npos;
}

}  // namespace

OdsWorkbookReader::OdsWorkbookReader() = default;
OdsWorkbookReader::~OdsWorkbookReader() = default;

std::unique_ptr<OdsWorkbookReader> OdsWorkbookReader::Load(std::string contents, std::string& error) {
  auto reader = std::make_unique<OdsWorkbookReader>();
  try {
    const ZipPackage package(std::move(contents));
    if (!package.ReadPart("content.xml", reader->content_)) {
      if (package.HasPart("META-INF/manifest.xml") && IsEncrypted(package)) throw PasswordProtected();
      throw std::runtime_error("no content.xml part");
    }
    if (IsEncrypted(package)) throw PasswordProtected();
    TableListHandler list;
    sax::Parse(reader->content_, list);
    // Each table is parsed where it lies; the parser may look two bytes past
    // a table's end, and the last table's end is followed by these.
    reader->content_.push_back('\0');
    reader->content_.push_back('!');
    for (const auto& t : list.tables) reader->tables_.push_back({t.name, t.begin, t.end});
  } catch (const PasswordProtected& e) {
    error = e.what();
    return nullptr;
  } catch (const ZipPackage::TooLarge& e) {
    error = e.what();
    return nullptr;
  } catch (const std::exception& e) {
    error = std::string("damaged OpenDocument spreadsheet: ") + e.what();
    return nullptr;
  }
  return reader;
}

std::vector<std::string> OdsWorkbookReader::SheetNames() const {
  std::vector<std::string> names;
  for (const Table& t : tables_) names.push_back(t.name);
  return names;
}

bool OdsWorkbookReader::VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= tables_.size()) {
    error = "no sheet " + std::to_string(sheet + 1) + " in the workbook";
    return false;
  }
  const Table& table = tables_[static_cast<std::size_t>(sheet)];
  if (table.end <= table.begin || table.end + 2 > content_.size()) {
    error = "damaged sheet " + table.name;
    return false;
  }
  try {
    // The table element alone is well-formed XML: only its bytes are parsed.
    TableHandler handler(visit, columns);
    sax::ParseWithTwoBytesBehind(reinterpret_cast<const char*>(content_.data()) + table.begin, table.end - table.begin,
                                 handler);
  } catch (const StopWalk&) {
  } catch (const std::exception& e) {
    error = "damaged sheet " + table.name + ": " + e.what();
    return false;
  }
  return true;
}
