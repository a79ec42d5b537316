#include "converter/XlsxWorkbookReader.h"

#include <exception>
#include <map>
#include <stdexcept>

#include "data/CFormat.h"
#include "converter/NumberFormat.h"
#include "converter/WorkbookFormat.h"
#include "converter/OoxmlText.h"
#include "converter/SaxParse.h"
#include "converter/ZipPackage.h"

namespace {

using orcus::sax::parser_attribute;
using orcus::sax::parser_element;

// Relationship targets are relative to the folder of the part that names them
// (base ends with '/'); "./" and "../" steps are resolved, "/" starts at the root.
std::string ResolveTarget(std::string_view base, std::string_view target) {
  std::string path;
  if (target.starts_with('/'))
    target.remove_prefix(1);
  else
    path = std::string(base);
  while (!target.empty()) {
    const auto slash = target.find('/');
    const std::string_view step = target.substr(0, slash);
    target = slash == std::string_view::npos ? std::string_view() : target.substr(slash + 1);
    if (step == "." || step.empty()) continue;
    if (step == "..") {
      if (!path.empty()) path.pop_back();
      const auto up = path.rfind('/');
      path = up == std::string::npos ? std::string() : path.substr(0, up + 1);
      continue;
    }
    path += std::string(step);
    if (slash != std::string_view::npos) path += '/';
  }
  return path;
}

// The folder of a part, with its '/': "xl/workbook.xml" -> "xl/".
std::string FolderOf(std::string_view part) {
  const auto slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// The relationships part of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsOf(std::string_view part) {
  return FolderOf(part) + "_rels/" + std::string(part.substr(FolderOf(part).size())) + ".rels";
}

// xl/workbook.xml: the sheets in their order with their relationship ids.
struct WorkbookHandler : sax::AttributeHandler {
  std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id

  void start_element(const parser_element& e) {
    if (e.name == "sheet") {
      std::string id;
      for (std::size_t i = 0; i < count; ++i)
        if (attributes[i].name == "id" && !attributes[i].ns.empty()) id = attributes[i].value;
      sheets.emplace_back(ValueOf("name"), id);
    }
    Forget();
  }
};

// xl/_rels/workbook.xml.rels: where each relationship id points.
struct RelationshipsHandler : sax::AttributeHandler {
  std::map<std::string, std::string> targets;
  std::string sharedStrings, styles, officeDocument;

  void start_element(const parser_element& e) {
    if (e.name == "Relationship") {
      const std::string target = ValueOf("Target");
      targets[ValueOf("Id")] = target;
      const std::string type = ValueOf("Type");
      if (type.ends_with("/sharedStrings")) sharedStrings = target;
      if (type.ends_with("/styles")) styles = target;
      if (type.ends_with("/officeDocument")) officeDocument = target;
    }
    Forget();
  }
};

// The styles part: which cell formats (the "s" of a cell) show dates or times.
struct StylesHandler : sax::AttributeHandler {
  std::map<unsigned, bool> customDate;  // numFmtId -> shows a date
  std::vector<unsigned> cellFormats;    // numFmtId of each cellXfs entry
  bool inCellXfs = false;

  void start_element(const parser_element& e) {
    if (e.name == "numFmt") {
      customDate[static_cast<unsigned>(LeadingIntegerOrZero(ValueOf("numFmtId")))] =
          numfmt::IsDateCode(ooxml::DecodeEscapes(ValueOf("formatCode")));
    } else if (e.name == "cellXfs") {
      inCellXfs = true;
    } else if (e.name == "xf" && inCellXfs) {
      cellFormats.push_back(static_cast<unsigned>(LeadingIntegerOrZero(ValueOf("numFmtId"))));
    }
    Forget();
  }
  void end_element(const parser_element& e) {
    if (e.name == "cellXfs") inCellXfs = false;
  }

  std::vector<bool> DateStyles() const {
    std::vector<bool> dates;
    for (const unsigned id : cellFormats) {
      const auto custom = customDate.find(id);
      dates.push_back(custom != customDate.end() ? custom->second : numfmt::IsBuiltInDate(id));
    }
    return dates;
  }
};

// Text of <si> or <is>: the <t> elements, phonetic runs left out.
struct TextCollector {
  int phoneticDepth = 0;
  bool inText = false;
  std::string text;

  void Start(std::string_view name) {
    if (name == "rPh") ++phoneticDepth;
    if (name == "t" && phoneticDepth == 0) inText = true;
  }
  void End(std::string_view name) {
    if (name == "rPh") --phoneticDepth;
    if (name == "t") inText = false;
  }
  void Characters(std::string_view value) {
    if (inText) text += value;
  }
};

// A real workbook's shared strings are a few megabytes (49,999 names of 49
// characters are 2.5 MB).
constexpr std::size_t kMaxSharedStrings = std::size_t{64} << 20;

struct SharedStringsHandler : sax::AttributeHandler {
  StringPool& strings;
  TextCollector collector;
  bool inItem = false;

  explicit SharedStringsHandler(StringPool& s) : strings(s) {}
  void start_element(const parser_element& e) {
    if (e.name == "si") {
      inItem = true;
      collector = {};
    } else if (inItem) {
      collector.Start(e.name);
    }
    Forget();
  }
  void end_element(const parser_element& e) {
    if (e.name == "si") {
      // The table stays while a sheet part of up to the part cap is read:
      // its own size is bounded too, or a bomb of empty items could double that.
      if (strings.Bytes() > kMaxSharedStrings)
        throw ZipPackage::TooLarge("the shared strings take more than " + std::to_string(kMaxSharedStrings >> 20) +
                                   " MiB: the workbook is too large to be imported");
      strings.Add(ooxml::DecodeEscapes(collector.text));
      inItem = false;
    } else if (inItem) {
      collector.End(e.name);
    }
  }
  void characters(std::string_view value, bool) {
    if (inItem) collector.Characters(value);
  }
};

// Thrown to end a walk the visitor no longer wants.
struct StopWalk {};

// 0-based column and row of a reference like "AB12"; false when it is none.
bool ParseReference(std::string_view ref, std::size_t& column, std::size_t& row) {
  std::size_t i = 0, col = 0;
  while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z')
    col = col * 26 + static_cast<std::size_t>(ref[i++] - 'A' + 1);
  std::size_t r = 0;
  const std::size_t digits = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') r = r * 10 + static_cast<std::size_t>(ref[i++] - '0');
  if (col == 0 || r == 0 || i != ref.size() || i == digits) return false;
  column = col - 1;
  row = r - 1;
  return true;
}

// A worksheet part: gathers each row's cells and hands the row on at its end.
struct SheetHandler : sax::AttributeHandler {
  const StringPool& shared;
  const std::vector<bool>& dateStyles;
  const WorkbookReader::RowVisitor& visit;
  std::vector<Cell> cells;
  std::size_t row = 0, nextRow = 0, column = 0, nextColumn = 0;
  bool inRow = false, inCell = false, inValue = false, inInline = false;
  std::string type, value;
  bool dateStyle = false;
  TextCollector inlineText;

  SheetHandler(const StringPool& s, const std::vector<bool>& d, const WorkbookReader::RowVisitor& v,
               std::size_t columns)
      : shared(s), dateStyles(d), visit(v), cells(columns) {}

  void start_element(const parser_element& e) {
    if (e.name == "row") {
      inRow = true;
      row = nextRow;
      if (const Attribute* r = Find("r")) {
        const auto number = LeadingIntegerOrZero(r->value);
        if (number > 0) row = static_cast<std::size_t>(number - 1);
      }
      nextColumn = 0;
      for (Cell& c : cells) c = Cell::Empty();
    } else if (e.name == "c" && inRow) {
      inCell = true;
      column = nextColumn;
      if (const Attribute* r = Find("r")) {
        std::size_t refRow = 0;
        if (ParseReference(r->value, column, refRow)) row = refRow;
      }
      const Attribute* t = Find("t");
      type = t ? t->value : std::string();
      const Attribute* style = Find("s");
      const auto styleIndex = style ? LeadingIntegerOrZero(style->value) : 0;
      dateStyle = styleIndex >= 0 && static_cast<std::size_t>(styleIndex) < dateStyles.size() &&
                  dateStyles[static_cast<std::size_t>(styleIndex)];
      value.clear();
      inlineText = {};
    } else if (inCell && e.name == "v") {
      inValue = true;
    } else if (inCell && e.name == "is") {
      inInline = true;
    } else if (inInline) {
      inlineText.Start(e.name);
    }
    Forget();
  }

  void characters(std::string_view text, bool) {
    if (inValue) value += text;
    if (inInline) inlineText.Characters(text);
  }

  void end_element(const parser_element& e) {
    if (e.name == "v") {
      inValue = false;
    } else if (e.name == "is") {
      inInline = false;
    } else if (inInline) {
      inlineText.End(e.name);
    } else if (e.name == "c" && inCell) {
      inCell = false;
      if (column < cells.size()) cells[column] = Decode();
      nextColumn = column + 1;
    } else if (e.name == "row" && inRow) {
      inRow = false;
      nextRow = row + 1;
      if (!visit(row, cells)) throw StopWalk{};
    }
  }

  Cell Decode() const {
    if (type == "s") {
      const auto index = ReadLeadingInteger(value);
      if (!index || *index < 0 || static_cast<std::size_t>(*index) >= shared.size())
        return Cell::Text("#bad shared string");
      return Cell::Text(std::string(shared[static_cast<std::size_t>(*index)]));
    }
    if (type == "inlineStr")
      return inlineText.text.empty() ? Cell::Empty() : Cell::Text(ooxml::DecodeEscapes(inlineText.text));
    if (type == "str") return Cell::Text(ooxml::DecodeEscapes(value));
    if (type == "d") return Cell::Date(value);
    if (type == "e") return Cell::Text(value.empty() ? "#error" : value);
    if (value.empty()) return Cell::Empty();
    const auto number = ReadLeadingDouble(value);
    // "n", "b" and no type at all hold a number in <v>; a date is a number
    // shown in a date format.
    if (!number) return Cell::Text(value);
    if (dateStyle && type != "b") return Cell::Date(value);
    return Cell::Number(*number);
  }
};

}  // namespace

XlsxWorkbookReader::XlsxWorkbookReader() = default;
XlsxWorkbookReader::~XlsxWorkbookReader() = default;

bool XlsxWorkbookReader::ReadPart(const std::string& part, std::vector<unsigned char>& buffer) const {
  buffer.clear();
  return package_ && package_->ReadPart(part, buffer);
}

void XlsxWorkbookReader::ReadStructure(std::string contents) {
  package_ = std::make_unique<ZipPackage>(std::move(contents));
  // A workbook saved with a password is an encrypted OLE2 file, not a ZIP one;
  // only the package relationships tell where the workbook part is.
  std::vector<unsigned char> xml;
  RelationshipsHandler root;
  if (ReadPart("_rels/.rels", xml)) sax::Parse(xml, root);
  const std::string workbookPart =
      root.officeDocument.empty() ? std::string("xl/workbook.xml") : ResolveTarget("", root.officeDocument);
  if (!ReadPart(workbookPart, xml)) throw std::runtime_error("no workbook part " + workbookPart);
  WorkbookHandler workbook;
  sax::Parse(xml, workbook);

  const std::string base = FolderOf(workbookPart);
  RelationshipsHandler relationships;
  if (ReadPart(RelationshipsOf(workbookPart), xml)) sax::Parse(xml, relationships);

  for (const auto& [name, id] : workbook.sheets) {
    const auto target = relationships.targets.find(id);
    sheets_.push_back(
        {name, target == relationships.targets.end() ? std::string() : ResolveTarget(base, target->second)});
  }

  const std::string sharedPart = relationships.sharedStrings.empty() ? base + "sharedStrings.xml"
                                                                     : ResolveTarget(base, relationships.sharedStrings);
  if (ReadPart(sharedPart, xml)) {
    SharedStringsHandler strings(sharedStrings_);
    sax::Parse(xml, strings);
  }
  const std::string stylesPart =
      relationships.styles.empty() ? base + "styles.xml" : ResolveTarget(base, relationships.styles);
  if (ReadPart(stylesPart, xml)) {
    StylesHandler styles;
    sax::Parse(xml, styles);
    dateStyles_ = styles.DateStyles();
  }
}

std::unique_ptr<XlsxWorkbookReader> XlsxWorkbookReader::Load(std::string contents, std::string& error) {
  auto reader = std::make_unique<XlsxWorkbookReader>();
  try {
    reader->ReadStructure(std::move(contents));
  } catch (const ZipPackage::TooLarge& e) {
    error = e.what();
    return nullptr;
  } catch (const std::exception& e) {
    error = std::string("damaged Office Open XML workbook: ") + e.what();
    return nullptr;
  }
  return reader;
}

std::vector<std::string> XlsxWorkbookReader::SheetNames() const {
  std::vector<std::string> names;
  for (const Sheet& sheet : sheets_) names.push_back(sheet.name);
  return names;
}

bool XlsxWorkbookReader::VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= sheets_.size()) {
    error = "no sheet " + std::to_string(sheet + 1) + " in the workbook";
    return false;
  }
  const Sheet& wanted = sheets_[static_cast<std::size_t>(sheet)];
  try {
    std::vector<unsigned char> xml;
    if (wanted.part.empty() || !ReadPart(wanted.part, xml)) {
      error = "the workbook lacks the data of sheet " + wanted.name;
      return false;
    }
    SheetHandler handler(sharedStrings_, dateStyles_, visit, columns);
    sax::Parse(xml, handler);
  } catch (const StopWalk&) {
  } catch (const ZipPackage::TooLarge& e) {
    error = "sheet " + wanted.name + ": " + e.what();
    return false;
  } catch (const std::exception& e) {
    error = "damaged sheet " + wanted.name + ": " + e.what();
    return false;
  }
  return true;
}
