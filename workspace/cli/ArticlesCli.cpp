#include "workspace/cli/ArticlesCli.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "data/ArticleSlots.h"
#include "data/ArticleTable.h"
#include "ArticlesVersion.h"
#include "workspace/articles/ArticlesWindowLogic.h"
#include "data/CFormat.h"
#include "data/Config.h"
#include "workspace/cli/ConsoleOperator.h"
#include "workspace/cli/ConsoleTaskRunner.h"
#include "data/DatabaseFile.h"
#include "device/DemoRegisterServer.h"
#include "device/RegisterConnection.h"
#include "device/RegisterTransfers.h"
#include "device/transport/DemoRegister.h"
#include "device/transport/TransportRegistry.h"
#include "reports/ReportsLogic.h"
#include "workspace/common/ProgramOptions.h"
#include "workspace/common/UiText.h"

namespace {

constexpr const char* kCommandsText =
    "  params                                   read and print the register's parameters\n"
    "  download DB [--articles|--departments]   register tables into DB (both by default; DB created if missing)\n"
    "  upload DB [--departments]                articles of DB to the register (its departments instead)\n"
    "  report FILE                              download the sales report into FILE\n"
    "  show DB                                  print the article and department lines of DB or a report file\n"
    "  serve-demo [--articles N]                serve the demo register (N articles, 320 by default) on --listen,\n"
    "                                           one client at a time (others wait), until SIGINT or SIGTERM\n"
    "--timeout SECONDS ends a command that runs longer (exit status 1); SIGINT and SIGTERM stop a transfer\n"
    "after the exchange in progress, leaving files as they were (exit status 130 and 143).\n";

// The synopsis from the option table (the register's forms from the transport
// registry), wrapped before 105 columns, then the commands.
std::string UsageText() {
  const std::string indent(20, ' ');
  std::string text = "usage: articles-cli";
  std::size_t lineStart = 0;
  for (const ProgramOption& option : OptionsOf(kArticlesCliProgram)) {
    const std::string_view name = option.name;
    // --help and --version have their own line, --articles and --departments belong to their commands.
    if (name == "help" || name == "version" || name == "articles" || name == "departments" || name == "listen") {
      continue;
    }
    std::string item = " [--" + std::string(name);
    if (option.valueName) item += " " + (name == "register" ? transports::Forms() : std::string(option.valueName));
    item += "]";
    if (text.size() - lineStart + item.size() > 104) {
      text += "\n";
      lineStart = text.size();
      text += indent.substr(1);
    }
    text += item;
  }
  return text + " COMMAND\n       articles-cli [--listen HOST:PORT] serve-demo [--articles N]\n" +
         "       articles-cli --help | --version\n" + kCommandsText;
}

// After the time limit the command gets this long to wind down before the
// program ends regardless.
constexpr auto kTimeoutGrace = std::chrono::seconds(5);

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace

int ArticlesCli::Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(streams_.err, "articles-cli: %s\n", problem.c_str());
  std::fputs(UsageText().c_str(), streams_.err);
  return kUsage;
}

std::optional<ArticlesCli::Invocation> ArticlesCli::Parse(const std::vector<std::string>& args, int* status) {
  const auto usage = [&](const std::string& problem) -> std::optional<Invocation> {
    *status = Usage(problem);
    return std::nullopt;
  };
  Invocation call;
  // "--articles N" sizes the demo register of serve-demo; without a number
  // --articles is download's switch.
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string count;
    if (args[i] == "--articles" && i + 1 < args.size() && AllDigits(args[i + 1])) {
      count = args[++i];
    } else if (args[i].starts_with("--articles=")) {
      count = args[i].substr(std::string_view("--articles=").size());
    } else {
      rest.push_back(args[i]);
      continue;
    }
    if (!AllDigits(count) || count.size() > 5 || std::stoul(count) > DemoRegister::kMaxPlu) {
      return usage("--articles N needs a number of articles from 0 to " + std::to_string(DemoRegister::kMaxPlu));
    }
    call.demoArticles = static_cast<std::uint32_t>(std::stoul(count));  // at most kMaxPlu, checked above
  }
  const SplitCommandLine line = SplitArguments(kArticlesCliProgram, rest);
  const std::vector<std::string>& operands = line.operands;
  for (const GivenOption& given : line.options) {
    if (!given.option) return usage("unknown option " + given.text);
    const std::string_view name = given.option->name;
    const std::string& value = given.text;
    if (name == "help") {
      std::fputs(UsageText().c_str(), streams_.out);
      *status = kOk;
      return std::nullopt;
    } else if (name == "version") {
      std::fputs("articles-cli " ARTICLES_VERSION "\n", streams_.out);
      *status = kOk;
      return std::nullopt;
    } else if (name == "yes") {
      call.assumeYes = true;
    } else if (name == "register") {
      if (given.missing) return usage("--register needs a value");
      std::string error;
      const auto parsed = RegisterChoice::Parse(value, &error);
      if (!parsed) return usage(error);
      call.choice = *parsed;
    } else if (name == "trace") {
      if (value.empty()) return usage("--trace needs the path of the trace file");
      call.trace = value;
    } else if (name == "timeout") {
      if (given.missing) return usage("--timeout needs a number of seconds");
      char* end = nullptr;
      const unsigned long seconds = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || value[0] == '-' || seconds == 0 || seconds > 1000000) {
        return usage("--timeout needs a whole number of seconds from 1 to 1000000");
      }
      call.timeoutSeconds = static_cast<unsigned>(seconds);
    } else if (name == "listen") {
      if (given.missing) return usage("--listen needs HOST:PORT");
      std::string error;
      const auto parsed = ParseListenAddress(value, &error);
      if (!parsed) return usage(error);
      call.listen = *parsed;
    } else if (name == "articles") {
      call.articlesOnly = true;
    } else if (name == "departments") {
      call.departmentsOnly = true;
    }
  }
  if (operands.empty()) return usage("no command given");
  call.command = operands[0];
  const bool serving = call.command == "serve-demo";
  const bool needsFile = call.command != "params" && !serving;
  if (call.command != "params" && call.command != "download" && call.command != "upload" && call.command != "report" &&
      call.command != "show" && !serving) {
    return usage("unknown command " + call.command);
  }
  if (operands.size() != (needsFile ? 2u : 1u)) {
    return usage(call.command + (needsFile ? " needs one file" : " takes no file"));
  }
  if (needsFile) call.file = operands[1];
  if (!serving && (call.listen || call.demoArticles)) return usage("--listen and --articles N belong to serve-demo");
  if (call.articlesOnly && call.departmentsOnly) return usage("choose --articles or --departments, not both");
  if ((call.articlesOnly && call.command != "download") ||
      (call.departmentsOnly && call.command != "download" && call.command != "upload")) {
    return usage("--articles and --departments belong to download (and --departments to upload)");
  }
  return call;
}

void ArticlesCli::Stop(int signalNumber) {
  int none = 0;
  const bool first = signal_.compare_exchange_strong(none, signalNumber);
  stop_ = true;
  {
    std::lock_guard lock(stopMutex_);
    if (operator_ && operator_->AtPrompt()) {
      // The questions come before anything is sent or written: nothing to wind down.
      std::fprintf(streams_.err, "\narticles-cli: stopped by %s; nothing was transferred\n",
                   signalNumber == SIGINT ? "SIGINT" : "SIGTERM");
      std::fflush(streams_.err);
      std::_Exit(128 + signalNumber);
    }
  }
  if (!first) InterruptEngine();
}

void ArticlesCli::InterruptEngine() {
  std::lock_guard lock(stopMutex_);
  if (engine_) engine_->Interrupt();
}

void ArticlesCli::Watch(unsigned seconds) {
  std::unique_lock lock(doneMutex_);
  if (doneChanged_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) return;
  timedOut_ = true;
  stop_ = true;
  lock.unlock();
  InterruptEngine();
  lock.lock();
  if (doneChanged_.wait_for(lock, kTimeoutGrace, [this] { return done_; })) return;
  // Stuck outside the register link: the files are safe, the wait is not.
  std::fprintf(streams_.err, "articles-cli: stopped after %u seconds (--timeout)\n", seconds);
  std::fflush(streams_.err);
  std::_Exit(kFailed);
}

int ArticlesCli::Run(const std::vector<std::string>& args) {
  int status = kOk;
  const std::optional<Invocation> call = Parse(args, &status);
  if (!call) return status;
  {
    std::lock_guard lock(doneMutex_);
    done_ = false;
  }
  std::thread watchdog;
  if (call->timeoutSeconds > 0) watchdog = std::thread(&ArticlesCli::Watch, this, call->timeoutSeconds);
  status = RunCommand(*call);
  {
    std::lock_guard lock(doneMutex_);
    done_ = true;
  }
  doneChanged_.notify_all();
  if (watchdog.joinable()) watchdog.join();
  if (const int signalNumber = signal_.load(); signalNumber != 0) {
    std::fprintf(streams_.err, "articles-cli: stopped by %s\n", signalNumber == SIGINT ? "SIGINT" : "SIGTERM");
    return 128 + signalNumber;
  }
  if (timedOut_) {
    std::fprintf(streams_.err, "articles-cli: %s did not finish within %u seconds and was stopped\n",
                 call->command.c_str(), call->timeoutSeconds);
    return kFailed;
  }
  return status;
}

int ArticlesCli::RunCommand(const Invocation& call) {
  if (call.command == "serve-demo") return ServeDemo(call);
  if (!SelectConfiguredCodePage()) {
    std::fprintf(streams_.err, "articles-cli: the code page \"%s\" of ARTICLESRW.CONF is not known here\n",
                 ConfiguredCodePage().c_str());
    return kFailed;
  }
  DeviceProfile profile;
  profile.SetForDeviceType();
  ConsoleOperator op(call.assumeYes, streams_.in, streams_.err, streams_.interactive);
  struct OperatorShown {
    ArticlesCli& cli;
    OperatorShown(ArticlesCli& owner, const ConsoleOperator& op) : cli(owner) {
      std::lock_guard lock(cli.stopMutex_);
      cli.operator_ = &op;
    }
    ~OperatorShown() {
      std::lock_guard lock(cli.stopMutex_);
      cli.operator_ = nullptr;
    }
  } operatorShown{*this, op};

  if (call.command == "show") return Show(call, profile);
  if (call.command == "upload" && !Exists(call.file)) {
    std::fprintf(streams_.err, "articles-cli: %s does not exist; nothing to upload\n", call.file.c_str());
    return kFailed;
  }
  if (call.command == "report" && Exists(call.file) &&
      op.Ask(call.file + " exists. Replace it with the register's report?", {}, MessageButtons::YesNo,
             MessageIcon::Question) != Answer::Yes) {
    return kFailed;
  }

  RegisterChoice choice = call.choice;
  choice.tracePath = call.trace;
  RegisterConnection connection(choice, timing_);
  if (!connection.TraceProblem().empty()) {
    std::fprintf(streams_.err, "articles-cli: %s\n", connection.TraceProblem().c_str());
    return kFailed;
  }
  struct EngineShown {
    ArticlesCli& cli;
    EngineShown(ArticlesCli& owner, cDeviceProtocol& engine) : cli(owner) {
      std::lock_guard lock(cli.stopMutex_);
      cli.engine_ = &engine;
      // A stop that came before the engine was known still counts.
      if (cli.timedOut_) engine.Interrupt();
    }
    ~EngineShown() {
      std::lock_guard lock(cli.stopMutex_);
      cli.engine_ = nullptr;
    }
  } shown{*this, connection.Engine()};
  if (!Connect(connection, choice)) return kFailed;
  if (stop_) return kFailed;
  TransactionFunction transaction = connection.Transaction();
  if (requestHook_) {
    transaction = [this, &connection, inner = std::move(transaction), count = 0](
                      std::uint16_t command, const std::string& request, std::string& reply) mutable {
      requestHook_(connection, ++count);
      return inner(command, request, reply);
    };
  }
  RegisterTransfers transfers(transaction, profile);
  const bool parametersRead = transfers.ReadDeviceParameters();
  if (!parametersRead) std::fprintf(streams_.err, "%s\n", UiText("MSG_DEVICE_ERROR_MSG").c_str());

  if (call.command == "params") return parametersRead ? PrintParameters(profile) : kFailed;
  ConsoleTaskRunner runner(streams_.err, streams_.progressLine, &stop_);
  if (call.command == "report") return Report(call, op, profile, transfers, runner);
  if (call.command == "download") return Download(call, op, profile, transfers, runner);
  return Upload(call, op, profile, transfers, runner);
}

int ArticlesCli::ServeDemo(const Invocation& call) {
  DemoRegister::Options options;
  options.timing = timing_;
  // Its Read is where the server's reply thread looks at the stop flag between replies.
  options.timing.lineReadTimeoutMs = std::min(timing_.lineReadTimeoutMs, DemoServerTiming{}.pollMs);
  DemoRegister demo(options);
  if (call.demoArticles) SizeDemoSample(demo, *call.demoArticles);
  DemoRegisterServer server(demo);
  std::string error;
  if (!server.Listen(call.listen.value_or(ListenAddress{"127.0.0.1", 4001}), &error)) {
    std::fprintf(streams_.err, "articles-cli: %s\n", error.c_str());
    return kFailed;
  }
  std::fprintf(streams_.out, "demo register listening on %s\n", server.Address().c_str());
  std::fflush(streams_.out);
  server.Run(stop_);
  return kOk;
}

int ArticlesCli::Show(const Invocation& call, const DeviceProfile& profile) {
  DatabaseFile file;
  if (const IoResult opened = file.OpenForReading(call.file); !opened) {
    std::fprintf(streams_.err, "articles-cli: %s\n", opened.error.c_str());
    return kFailed;
  }
  if (!file.CheckHeader()) {
    std::fprintf(streams_.err, "articles-cli: %s: %s\n", call.file.c_str(), kMsgIncorrectFile);
    return kFailed;
  }
  // A database shows its articles in use; a file without any is taken for a
  // report file, whose records never carry IN_USE, and shows every record it holds.
  SlotRule rule = SlotRule::InUse;
  if (ArticleSlots probe(file, SlotRule::InUse); probe.begin() == std::default_sentinel && !probe.Failed()) {
    rule = SlotRule::NotAllZero;
  }
  ArticleSlots slots(file, rule);
  std::size_t shown = 0;
  for (const ArticleSlots::Slot slot : slots) {
    const ArticleRecord& article = slot.record;
    std::fprintf(streams_.out, "%s\n",
                 UiName(ArticleListLine(article.PLUNO, article.BARCODE, NameOf(article.NAME))).c_str());
    ++shown;
  }
  if (slots.Failed()) {
    std::fprintf(streams_.err, "articles-cli: %s\n", slots.Error().c_str());
    return kFailed;
  }
  if (const std::string cut = DescribeCut(call.file, file.Length(), shown); !cut.empty()) {
    std::fprintf(streams_.err, "articles-cli: %s\n", cut.c_str());
  }
  DepartmentRecord department;
  for (std::uint32_t k = 0; k < profile.departmentCount; ++k) {
    file.ReadDepartment(k, department);
    std::fprintf(streams_.out, "%s\n", UiName(DepartmentListLine(department)).c_str());
  }
  return kOk;
}

bool ArticlesCli::Connect(RegisterConnection& connection, const RegisterChoice& choice) {
  connection.Start();
  // A USB register announces itself shortly after the library starts.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(connectWaitMs_);
  while (!connection.IsConnected() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (connection.IsConnected()) return true;
  std::fprintf(streams_.err, "articles-cli: no register answers on %s\n", choice.Describe().c_str());
  if (const std::string diagnostic = connection.Diagnostic(); !diagnostic.empty()) {
    std::fprintf(streams_.err, "%s\n", diagnostic.c_str());
  }
  return false;
}

int ArticlesCli::PrintParameters(const DeviceProfile& profile) {
  const std::pair<const char*, std::uint32_t> fields[] = {{"departments", profile.departmentCount},
                                                          {"commodity groups", profile.commodityGroupCount},
                                                          {"tax groups", profile.taxGroupCount},
                                                          {"measure units", profile.measureUnitCount},
                                                          {"barcode", profile.barcodeEnabled},
                                                          {"stock quantity", profile.stockQtyEnabled},
                                                          {"initial quantity", profile.initialQtyEnabled},
                                                          {"PLU link", profile.pluLinkEnabled}};
  for (const auto& [name, value] : fields) std::fprintf(streams_.out, "%s: %u\n", name, value);
  std::fprintf(streams_.out, "%s\n", UiText("MSG_DEVICE_OK_MSG").c_str());
  return kOk;
}

int ArticlesCli::Report(const Invocation& call, ConsoleOperator& op, DeviceProfile& profile,
                        RegisterTransfers& transfers, TaskRunner& runner) {
  ReportsLogic reports(op, profile, &transfers);
  reports.SetTaskRunner(&runner);
  op.SetFile(call.file);
  reports.DownloadReports();
  // A register that stopped answering half-way still leaves a report of what it sent (exit status 1).
  const std::optional<TransferOutcome>& outcome = reports.LastOutcome();
  const bool ok = outcome && outcome->placed && outcome->Done();
  if (reports.ReportFile().IsOpen()) {
    std::fprintf(streams_.out, "%zu articles, %zu departments\n", reports.ArticleLines().size(),
                 reports.DepartmentLines().size());
  }
  if (!reports.StatusText().empty()) std::fprintf(streams_.out, "%s\n", reports.StatusText().c_str());
  return ok ? kOk : kFailed;
}

int ArticlesCli::Download(const Invocation& call, ConsoleOperator& op, DeviceProfile& profile,
                          RegisterTransfers& transfers, TaskRunner& runner) {
  ArticlesWindowLogic window(op, profile, nullptr, nullptr, &transfers);
  window.SetTaskRunner(&runner);
  op.SetFile(call.file);
  window.DownloadTables(call.articlesOnly      ? ViewMode::Articles
                        : call.departmentsOnly ? ViewMode::Departments
                                               : ViewMode::Both);
  const std::optional<TransferOutcome>& outcome = window.LastOutcome();
  const bool placed = outcome && outcome->placed;
  // The article area of a file cut short stays as it was unless articles came.
  if (!window.CutNotice().empty() && (!placed || call.departmentsOnly)) {
    std::fprintf(streams_.err, "articles-cli: %s\n", window.CutNotice().c_str());
  }
  std::fprintf(streams_.out, "%s\n", window.Controls().statusText.c_str());
  if (!window.Database().IsOpen() || op.Declined() || !placed) return kFailed;
  if (!call.departmentsOnly) std::fprintf(streams_.out, "%zu articles\n", window.Table().Count());
  window.OnClose();
  return outcome->Done() ? kOk : kFailed;
}

int ArticlesCli::Upload(const Invocation& call, ConsoleOperator& op, DeviceProfile& profile,
                        RegisterTransfers& transfers, TaskRunner& runner) {
  ArticlesWindowLogic window(op, profile, nullptr, nullptr, &transfers);
  window.SetTaskRunner(&runner);
  op.SetFile(call.file);
  window.OnOpenDatabase();
  if (!window.Database().IsOpen()) return kFailed;
  if (!window.CutNotice().empty()) std::fprintf(streams_.err, "articles-cli: %s\n", window.CutNotice().c_str());
  window.UploadTables(call.departmentsOnly ? ViewMode::Departments : ViewMode::Articles);
  std::fprintf(streams_.out, "%s\n", window.Controls().statusText.c_str());
  window.OnClose();
  const std::optional<TransferOutcome>& outcome = window.LastOutcome();
  return outcome && outcome->Done() && !op.Declined() ? kOk : kFailed;
}
