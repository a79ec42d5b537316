// Reads Office Open XML workbooks (.xlsx): the ZIP container through orcus's
// zip reader, the parts through its SAX parser. Sheets are parsed as they are
// walked, so no sheet is ever kept as a whole grid of cells.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "converter/StringPool.h"
#include "converter/WorkbookReader.h"

class ZipPackage;

class XlsxWorkbookReader final : public WorkbookReader {
 public:
  XlsxWorkbookReader();
  ~XlsxWorkbookReader() override;

  // Reads the workbook's sheet list and shared strings; nullptr and error when
  // the contents are no sound workbook.
  static std::unique_ptr<XlsxWorkbookReader> Load(std::string contents, std::string& error);

  std::vector<std::string> SheetNames() const override;
  bool VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) override;

  // The bytes of one part of the container (styles, a sheet); false when absent.
  bool ReadPart(const std::string& part, std::vector<unsigned char>& buffer) const;

 private:
  struct Sheet {
    std::string name;
    std::string part;  // path of the sheet's XML inside the container
  };

  void ReadStructure(std::string contents);  // throws on damage

  std::unique_ptr<ZipPackage> package_;
  std::vector<Sheet> sheets_;
  StringPool sharedStrings_;
  std::vector<bool> dateStyles_;  // by cell style index: shows a date or time
};
