#include "ArticlesCli.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "ArticleTable.h"
#include "ArticlesWindowLogic.h"
#include "CFormat.h"
#include "Config.h"
#include "ConsoleOperator.h"
#include "DatabaseFile.h"
#include "RegisterConnection.h"
#include "RegisterTransfers.h"
#include "ReportsLogic.h"
#include "UiText.h"

namespace {

constexpr const char* kUsageText =
    "usage: articles-cli [--register usb|usb:VENDOR:PRODUCT|demo|serial:DEVICE[@BAUD]] [--trace FILE] [--yes] COMMAND\n"
    "  params                                   read and print the register's parameters\n"
    "  download DB [--articles|--departments]   register tables into DB (both by default; DB created if missing)\n"
    "  upload DB [--departments]                articles of DB to the register (its departments instead)\n"
    "  report FILE                              download the sales report into FILE\n"
    "  show DB                                  print the article and department lines of DB or a report file\n";

struct Command {
  std::string name;
  std::string file;
  bool articlesOnly = false;
  bool departmentsOnly = false;
};

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

int ArticlesCli::Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(streams_.err, "articles-cli: %s\n", problem.c_str());
  std::fputs(kUsageText, streams_.err);
  return kUsage;
}

int ArticlesCli::Run(const std::vector<std::string>& args) {
  RegisterChoice choice;
  std::string trace;
  bool assumeYes = false;
  Command command;
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsageText, streams_.out);
      return kOk;
    } else if (arg == "--yes" || arg == "-y") {
      assumeYes = true;
    } else if (arg == "--register" || arg.starts_with("--register=")) {
      std::string value;
      if (arg == "--register") {
        if (i + 1 >= args.size()) return Usage("--register needs a value");
        value = args[++i];
      } else {
        value = arg.substr(11);
      }
      std::string error;
      const auto parsed = RegisterChoice::Parse(value, &error);
      if (!parsed) return Usage(error);
      choice = *parsed;
    } else if (arg == "--trace" || arg.starts_with("--trace=")) {
      if (arg == "--trace" && i + 1 >= args.size()) return Usage("--trace needs the path of the trace file");
      trace = arg == "--trace" ? args[++i] : arg.substr(8);
      if (trace.empty()) return Usage("--trace needs the path of the trace file");
    } else if (arg == "--articles") {
      command.articlesOnly = true;
    } else if (arg == "--departments") {
      command.departmentsOnly = true;
    } else if (arg.starts_with("-") && arg.size() > 1) {
      return Usage("unknown option " + arg);
    } else {
      operands.push_back(arg);
    }
  }
  if (operands.empty()) return Usage("no command given");
  command.name = operands[0];
  const bool needsFile = command.name != "params";
  if (command.name != "params" && command.name != "download" && command.name != "upload" &&
      command.name != "report" && command.name != "show") {
    return Usage("unknown command " + command.name);
  }
  if (operands.size() != (needsFile ? 2u : 1u)) return Usage(command.name + (needsFile ? " needs one file" : " takes no file"));
  if (needsFile) command.file = operands[1];
  if (command.articlesOnly && command.departmentsOnly) return Usage("choose --articles or --departments, not both");
  if ((command.articlesOnly && command.name != "download") ||
      (command.departmentsOnly && command.name != "download" && command.name != "upload")) {
    return Usage("--articles and --departments belong to download (and --departments to upload)");
  }

  if (!SelectConfiguredCodePage()) {
    std::fprintf(streams_.err, "articles-cli: the code page \"%s\" of ARTICLESRW.CONF is not known here\n",
                 ConfiguredCodePage().c_str());
    return kFailed;
  }
  DeviceProfile profile;
  profile.SetForDeviceType();
  ConsoleOperator op(assumeYes, streams_.in, streams_.err, streams_.interactive);

  if (command.name == "show") {
    DatabaseFile file;
    if (const IoResult opened = file.OpenExisting(command.file); !opened) {
      std::fprintf(streams_.err, "articles-cli: %s\n", opened.error.c_str());
      return kFailed;
    }
    if (!file.CheckHeader()) {
      std::fprintf(streams_.err, "articles-cli: %s: %s\n", command.file.c_str(), kMsgIncorrectFile);
      return kFailed;
    }
    ArticleRecord article;
    for (std::uint32_t slot = 1; file.ReadArticle(slot, article) == ReadStatus::Ok; ++slot) {
      if (IsAllZero(article)) continue;  // a deleted article's slot
      std::fprintf(streams_.out, "%s\n",
                   UiName(ArticleListLine(article.PLUNO, article.BARCODE, NameOf(article.NAME))).c_str());
    }
    DepartmentRecord department;
    for (std::uint32_t k = 0; k < profile.departmentCount; ++k) {
      file.ReadDepartment(k, department);
      std::fprintf(streams_.out, "%s\n", UiName(DepartmentListLine(department)).c_str());
    }
    return kOk;
  }

  if (command.name == "upload" && !Exists(command.file)) {
    std::fprintf(streams_.err, "articles-cli: %s does not exist; nothing to upload\n", command.file.c_str());
    return kFailed;
  }
  if (command.name == "report" && Exists(command.file) &&
      op.Ask(command.file + " exists. Replace it with the register's report?", {}, MessageButtons::YesNo,
             MessageIcon::Question) != Answer::Yes) {
    return kFailed;
  }

  choice.tracePath = trace;
  RegisterConnection connection(choice, timing_);
  if (!connection.TraceProblem().empty()) {
    std::fprintf(streams_.err, "articles-cli: %s\n", connection.TraceProblem().c_str());
    return kFailed;
  }
  connection.Start();
  // A USB register announces itself shortly after the library starts.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(connectWaitMs_);
  while (!connection.IsConnected() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!connection.IsConnected()) {
    std::fprintf(streams_.err, "articles-cli: no register answers on %s\n", choice.Describe().c_str());
    if (const std::string diagnostic = connection.Diagnostic(); !diagnostic.empty()) {
      std::fprintf(streams_.err, "%s\n", diagnostic.c_str());
    }
    return kFailed;
  }
  RegisterTransfers transfers(connection.Transaction(), profile);
  const bool parametersRead = transfers.ReadDeviceParameters();
  if (!parametersRead) std::fprintf(streams_.err, "%s\n", UiText("MSG_DEVICE_ERROR_MSG").c_str());

  if (command.name == "params") {
    if (!parametersRead) return kFailed;
    const std::pair<const char*, std::uint32_t> fields[] = {
        {"departments", profile.departmentCount},       {"commodity groups", profile.commodityGroupCount},
        {"tax groups", profile.taxGroupCount},          {"measure units", profile.measureUnitCount},
        {"barcode", profile.barcodeEnabled},            {"stock quantity", profile.stockQtyEnabled},
        {"initial quantity", profile.initialQtyEnabled}, {"PLU link", profile.pluLinkEnabled}};
    for (const auto& [name, value] : fields) std::fprintf(streams_.out, "%s: %u\n", name, value);
    std::fprintf(streams_.out, "%s\n", UiText("MSG_DEVICE_OK_MSG").c_str());
    return kOk;
  }

  if (command.name == "report") {
    ReportsLogic reports(op, profile, &transfers);
    op.SetFile(command.file);
    reports.DownloadReports();
    std::fprintf(streams_.out, "%zu articles, %zu departments\n", reports.ArticleLines().size(),
                 reports.DepartmentLines().size());
    std::fprintf(streams_.out, "%s\n", reports.StatusText().c_str());
    const bool ok = reports.ReportFile().IsOpen() && reports.StatusText() == UiText("MSG_DEVICE_OK_MSG");
    return ok ? kOk : kFailed;
  }

  ArticlesWindowLogic window(op, profile, nullptr, nullptr, &transfers);
  op.SetFile(command.file);
  if (command.name == "download") {
    window.controls.viewMode = command.articlesOnly ? 0 : command.departmentsOnly ? 1 : 2;
    window.downloadAll = command.articlesOnly || command.departmentsOnly ? 0 : 1;
    window.OnDownload();
    std::fprintf(streams_.out, "%s\n", window.controls.statusText.c_str());
    if (!window.Database().IsOpen() || op.Declined()) return kFailed;
    if (window.downloadAll == 1 || command.articlesOnly) {
      std::fprintf(streams_.out, "%zu articles\n", window.Table().Count());
    }
    window.OnClose();
    return window.transferFailed == 0 && window.controls.statusText == UiText("MSG_DEVICE_OK_MSG") ? kOk : kFailed;
  }

  // upload
  window.OnOpenDatabase();
  if (!window.Database().IsOpen()) return kFailed;
  window.controls.viewMode = command.departmentsOnly ? 1 : 0;
  window.OnUpload();
  std::fprintf(streams_.out, "%s\n", window.controls.statusText.c_str());
  window.OnClose();
  return window.uploadFailed == 0 && !op.Declined() ? kOk : kFailed;
}
