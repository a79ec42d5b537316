// Tells a workbook's format from its first bytes, never from its name: a ZIP
// container is Office Open XML or OpenDocument by what it holds, an OLE2
// compound file is a legacy Excel workbook.
#pragma once

#include <stdexcept>
#include <string_view>

// Said instead of "damaged" for a workbook that is encrypted with a password.
inline constexpr const char* kPasswordProtected =
    "the workbook is protected by a password: save it without one and import it again";
struct PasswordProtected : std::runtime_error {
  PasswordProtected() : std::runtime_error(kPasswordProtected) {}
};

enum class WorkbookKind { OfficeOpenXml, OpenDocument, Excel97, Unknown };

class WorkbookFormat {
 public:
  static WorkbookKind Detect(std::string_view contents);
  static const char* Describe(WorkbookKind kind);
};
