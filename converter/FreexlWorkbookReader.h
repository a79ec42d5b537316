// Reads legacy Excel 97-2003 (.xls) workbooks through the freexl library.
#pragma once

#include <memory>
#include <string>

#include "WorkbookReader.h"

class FreexlWorkbookReader final : public WorkbookReader {
 public:
  struct HandleCloser {
    void operator()(const void* handle) const;
  };
  using Handle = std::unique_ptr<const void, HandleCloser>;

  FreexlWorkbookReader(Handle handle, std::vector<std::string> names);

  static std::unique_ptr<FreexlWorkbookReader> Load(const std::string& path, std::string& error);

  std::vector<std::string> SheetNames() const override;
  bool VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) override;

 private:
  Cell CellAt(unsigned int row, unsigned short column) const;

  Handle handle_;
  std::vector<std::string> names_;
};
