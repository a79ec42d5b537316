#include "workspace/common/WorkbookExchange.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unistd.h>

WorkbookExchange::WorkbookExchange(ConverterLauncher& launcher, std::string startDirectory,
                                   std::vector<std::string> converterFolders)
    : launcher_(launcher), startDirectory_(std::move(startDirectory)), converterFolders_(std::move(converterFolders)) {}

std::string WorkbookExchange::XlsxName(const std::string& typed) {
  std::filesystem::path path(typed);
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".xlsx") return typed;
  // The other workbook suffixes name formats this file is not in.
  if (extension == ".xls" || extension == ".ods") return path.replace_extension(".xlsx").string();
  return typed + ".xlsx";
}

std::optional<std::string> WorkbookExchange::ChooseWorkbook(Operator& op, bool save, const std::string& source) {
  FileChoice choice;
  choice.kind = save ? FileChoice::Kind::Save : FileChoice::Kind::Open;
  choice.title = save ? "Export to workbook" : "Import from workbook";
  if (save) {
    choice.filters = {{"Excel workbook", "*.xlsx"}};
    choice.defaultExtension = "xlsx";
    if (!source.empty()) choice.proposedName = std::filesystem::path(source).stem().string() + ".xlsx";
  } else {
    choice.filters = {{"Workbooks", "*.xlsx *.ods *.xls"}, {"*.*", "*.*"}};
    choice.mustExist = true;
  }
  choice.confirmOverwrite = save;
  for (;;) {
    auto path = op.ChooseFile(choice);
    if (!path) return path;
    if (path->empty()) continue;
    if (!save) return path;
    const std::string named = XlsxName(*path);
    // The dialog asked about the name typed, not about this one.
    std::error_code ec;
    if (named != *path && std::filesystem::exists(named, ec) &&
        op.Ask(std::filesystem::path(named).filename().string() + " already exists.\nDo you want to replace it?", {},
               MessageButtons::YesNo, MessageIcon::Warning) != Answer::Yes) {
      continue;
    }
    return named;
  }
}

WorkbookExchange::~WorkbookExchange() { RemoveTransferFile(); }

void WorkbookExchange::RemoveTransferFile() {
  if (!transferPath_.empty()) ::unlink(transferPath_.c_str());
  transferPath_.clear();
}

std::string WorkbookExchange::FindConverter(const std::string& programName) const {
  for (const auto& folder : converterFolders_) {
    const auto candidate = std::filesystem::path(folder) / programName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) {
      return candidate.string();
    }
  }
  return {};
}

bool WorkbookExchange::FillTransferFile(Operator& op, const DatabaseFile& source) {
  RemoveTransferFile();
  std::string folder;
  IoResult made = PrivateFolder(kPrivateFolderName, folder);
  if (made) made = CreatePrivateFile(folder, kTransferFileName, transferPath_);
  DatabaseFile transfer;
  if (made) made = transfer.OpenExisting(transferPath_);
  if (made) made = CopyContents(source, transfer);
  if (!made) {
    op.Tell(std::string(kMsgUnableToOpenTmp) + "\n" + made.error, MessageIcon::Warning);
    RemoveTransferFile();
    return false;
  }
  return true;  // closed here, so that the converter can take it
}

bool WorkbookExchange::RunConverter(Operator& op, const std::string& programName,
                                    const std::vector<std::string>& arguments, TransferControl& control) {
  const std::string program = FindConverter(programName);
  ConverterRun run;
  if (!program.empty()) {
    control.Begin("Converting the workbook", 0);
    WaitCursor wait(op);
    run = launcher_.Run(program, arguments, startDirectory_, control);
  }
  if (run.stopped) return false;
  if (run.timedOut) {
    op.Tell(kMsgConverterTimedOut, MessageIcon::Error);
    return false;
  }
  if (!run.started) {
    op.Tell(kMsgCreateProcessFailed, MessageIcon::Warning);
    return false;
  }
  if (run.exitStatus != 0) {
    std::string text = run.errorOutput;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) text = "The converter ended with status " + std::to_string(run.exitStatus) + ".";
    op.Tell(text, MessageIcon::Error);
    return false;
  }
  return true;
}

bool WorkbookExchange::Export(Operator& op, const DatabaseFile& source, const std::string& workbook,
                              const std::string& programName, TransferControl& control) {
  if (!FillTransferFile(op, source)) return false;
  const bool ok = RunConverter(op, programName, {"alal", "-DW", "-I" + transferPath_, "-O" + workbook}, control);
  RemoveTransferFile();
  return ok;
}

bool WorkbookExchange::Import(Operator& op, const DatabaseFile& current, const std::string& workbook,
                              const std::string& programName, DatabaseFile& converted, TransferControl& control) {
  if (!FillTransferFile(op, current)) return false;
  bool ok = RunConverter(op, programName, {"alal", "-UP", "-I" + transferPath_, "-O" + workbook}, control);
  if (ok) {
    const IoResult opened = converted.OpenExisting(transferPath_);
    ok = opened && converted.CheckHeader();
    if (!ok) {
      op.Tell(kMsgUnableToOpenTmp, MessageIcon::Warning);
      converted.Close();
    }
  }
  RemoveTransferFile();  // what is open stays readable
  return ok;
}
