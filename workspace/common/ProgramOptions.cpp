#include "workspace/common/ProgramOptions.h"

#include <array>

namespace {

constexpr unsigned kBoth = kArticlesProgram | kArticlesCliProgram;

constexpr std::array kOptions = {
    ProgramOption{"register", 0, "CONNECTION",
                  "The register connection: usb (the default), usb:VENDOR:PRODUCT, demo (a built-in register with "
                  "sample contents), serial:DEVICE[@BAUD], tcp:HOST:PORT (a serial device server in raw mode or a "
                  "register's own network port) or rfc2217:HOST:PORT[@BAUD] (a serial device server speaking Telnet "
                  "with the COM port option; 9600 baud unless given).",
                  kBoth},
    ProgramOption{"trace", 0, "FILE",
                  "Write every frame and event of the register link into FILE, one line each with a time stamp.",
                  kBoth},
    ProgramOption{"database", 0, "PATH", "Open this database file when the articles window opens.", kArticlesProgram},
    ProgramOption{"make-sample", 0, "PATH",
                  "Write the demo register's departments and articles into a new database file and end.",
                  kArticlesProgram},
    ProgramOption{"yes", 'y', nullptr, "Answer the questions before overwriting or uploading in advance.",
                  kArticlesCliProgram},
    ProgramOption{"timeout", 0, "SECONDS", "End a command that runs longer (exit status 1).", kArticlesCliProgram},
    ProgramOption{"articles", 0, nullptr,
                  "download: only the articles; serve-demo --articles N: the demo register's "
                  "article count.",
                  kArticlesCliProgram},
    ProgramOption{"departments", 0, nullptr, "download: only the departments; upload: the departments instead.",
                  kArticlesCliProgram},
    ProgramOption{"listen", 0, "HOST:PORT",
                  "serve-demo: where the demo register listens, HOST a name, an IPv4 address or [IPv6] (default "
                  "127.0.0.1:4001, loopback only; port 0 picks a free one).",
                  kArticlesCliProgram},
    ProgramOption{"version", 'v', nullptr, "Show the version and end.", kArticlesProgram},
    ProgramOption{"version", 0, nullptr, "Show the version and end.", kArticlesCliProgram},
    ProgramOption{"help", 'h', nullptr, "Show this text and end.", kBoth},
};

}  // namespace

std::span<const ProgramOption> ProgramOptions() { return kOptions; }

std::vector<ProgramOption> OptionsOf(Program program) {
  std::vector<ProgramOption> rows;
  for (const ProgramOption& option : kOptions) {
    if (option.programs & program) rows.push_back(option);
  }
  return rows;
}

SplitCommandLine SplitArguments(Program program, const std::vector<std::string>& args) {
  const auto find = [program](std::string_view arg) -> const ProgramOption* {
    for (const ProgramOption& option : kOptions) {
      if (!(option.programs & program)) continue;
      if (arg.starts_with("--") && arg.substr(2) == option.name) return &option;
      if (option.shortName && arg.size() == 2 && arg[0] == '-' && arg[1] == option.shortName) return &option;
    }
    return nullptr;
  };
  SplitCommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("-") || arg.size() == 1) {
      line.operands.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const ProgramOption* option = find(std::string_view(arg).substr(0, equals));
    if (!option || (equals != std::string::npos && !option->valueName)) {
      line.options.push_back({nullptr, arg});
    } else if (equals != std::string::npos) {
      line.options.push_back({option, arg.substr(equals + 1)});
    } else if (!option->valueName) {
      line.options.push_back({option, {}});
    } else if (i + 1 < args.size()) {
      line.options.push_back({option, args[++i]});
    } else {
      line.options.push_back({option, {}, true});
    }
  }
  return line;
}
