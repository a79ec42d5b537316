#include "converter/WorkbookFormat.h"

namespace {

constexpr std::string_view kZipSignature("PK\x03\x04", 4);
constexpr std::string_view kOle2Signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr std::string_view kOdsMimeType = "application/vnd.oasis.opendocument.spreadsheet";

}  // namespace

WorkbookKind WorkbookFormat::Detect(std::string_view contents) {
  if (contents.starts_with(kOle2Signature)) return WorkbookKind::Excel97;
  if (!contents.starts_with(kZipSignature)) return WorkbookKind::Unknown;
  // OpenDocument stores its mime type first and uncompressed; entry names are
  // never compressed, so the OOXML part list is found by its name.
  if (contents.substr(0, 256).find(kOdsMimeType) != std::string_view::npos) return WorkbookKind::OpenDocument;
  if (contents.find("[Content_Types].xml") != std::string_view::npos) return WorkbookKind::OfficeOpenXml;
  if (contents.find("content.xml") != std::string_view::npos &&
      contents.find("META-INF/manifest.xml") != std::string_view::npos)
    return WorkbookKind::OpenDocument;
  return WorkbookKind::Unknown;
}

const char* WorkbookFormat::Describe(WorkbookKind kind) {
  switch (kind) {
    case WorkbookKind::OfficeOpenXml: return "Office Open XML workbook";
    case WorkbookKind::OpenDocument: return "OpenDocument spreadsheet";
    case WorkbookKind::Excel97: return "Excel 97-2003 workbook";
    case WorkbookKind::Unknown: break;
  }
  return "not a workbook";
}
