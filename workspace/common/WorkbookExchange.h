// Workbook export and import through the converter program and a transfer
// file, for the articles window and the reports window. The transfer file is
// private: made afresh for each run in the user's own folder (mode 0700) with
// mode 0600, and removed afterwards, so that the start directory need not be
// writable and no copy of the database is left lying about.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workspace/common/ConverterLauncher.h"
#include "data/DatabaseFile.h"
#include "workspace/common/Operator.h"

inline constexpr const char* kTransferFileName = "tmpDBTransfer";
inline constexpr const char* kPrivateFolderName = "quillbay-articles";
inline constexpr const char* kMsgUnableToOpenTmp = "Unable to open the tmp file!";
inline constexpr const char* kMsgCreateProcessFailed = "ERROR: CreateProcess failed!";
inline constexpr const char* kMsgWorkbookWritten = "Workbook written: ";
inline constexpr const char* kMsgConverterTimedOut =
    "The converter did not finish in time and was stopped; no file was changed.";

class WorkbookExchange {
 public:
  // The converter is looked for in the folders given, in order (the folder of
  // the running program first, then the start directory).
  WorkbookExchange(ConverterLauncher& launcher, std::string startDirectory, std::vector<std::string> converterFolders);
  ~WorkbookExchange();
  WorkbookExchange(const WorkbookExchange&) = delete;
  WorkbookExchange& operator=(const WorkbookExchange&) = delete;

  // Asks for a workbook to write (save) or to read until the person names one
  // or cancels (nullopt). A workbook to write gets the suffix of what the
  // converter writes (see XlsxName); the dialog proposes the name of source
  // (the database or report file) with it.
  static std::optional<std::string> ChooseWorkbook(Operator& op, bool save, const std::string& source = {});
  // The name a written workbook gets: the converter writes Office Open XML,
  // which spreadsheet programs refuse or warn about under another suffix.
  // "prices.xls" -> "prices.xlsx", "prices" -> "prices.xlsx".
  static std::string XlsxName(const std::string& typed);

  // The transfer file of the run under way; empty between runs.
  const std::string& TransferPath() const { return transferPath_; }
  // Full path of the converter program, empty when it is in none of the folders.
  std::string FindConverter(const std::string& programName) const;

  // Writes the workbook from what source holds on disk. False (after telling the
  // operator why) when the workbook was not written.
  // A stop request through control ends the converter; nothing is told then.
  bool Export(Operator& op, const DatabaseFile& source, const std::string& workbook, const std::string& programName,
              TransferControl& control);

  // Builds the transfer file from the workbook and leaves it open in converted
  // (its name already removed). The current file is copied there first. False (after telling the operator
  // why) when the conversion did not succeed; nothing else is touched then.
  bool Import(Operator& op, const DatabaseFile& current, const std::string& workbook, const std::string& programName,
              DatabaseFile& converted, TransferControl& control);

 private:
  bool FillTransferFile(Operator& op, const DatabaseFile& source);
  void RemoveTransferFile();
  bool RunConverter(Operator& op, const std::string& programName, const std::vector<std::string>& arguments,
                    TransferControl& control);

  ConverterLauncher& launcher_;
  std::string startDirectory_;
  std::vector<std::string> converterFolders_;
  std::string transferPath_;
};
