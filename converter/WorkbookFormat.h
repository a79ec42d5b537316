// Tells a workbook's format from its first bytes, never from its name: a ZIP
// container is Office Open XML or OpenDocument by what it holds, an OLE2
// compound file is a legacy Excel workbook.
#pragma once

#include <string_view>

enum class WorkbookKind { OfficeOpenXml, OpenDocument, Excel97, Unknown };

class WorkbookFormat {
 public:
  static WorkbookKind Detect(std::string_view contents);
  static const char* Describe(WorkbookKind kind);
};
