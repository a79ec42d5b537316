#include "ArticlesCommandLine.h"

std::optional<ArticlesCommandLine> ArticlesCommandLine::Parse(const std::vector<std::string>& args,
                                                              std::string* error) {
  const auto fail = [&](std::string why) -> std::optional<ArticlesCommandLine> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  ArticlesCommandLine line;
  std::string trace;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // Options with a value take it as the next argument or after "=".
    const auto value = [&](const std::string& name, std::string& target) -> bool {
      if (arg == name) {
        if (i + 1 >= args.size()) return false;
        target = args[++i];
        return true;
      }
      target = arg.substr(name.size() + 1);
      return true;
    };
    const auto is = [&](const std::string& name) { return arg == name || arg.starts_with(name + "="); };
    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else if (is("--register")) {
      std::string text;
      if (!value("--register", text)) return fail(std::string("--register needs a value: ") + kRegisterOptionHelp);
      std::string why;
      const auto choice = RegisterChoice::Parse(text, &why);
      if (!choice) return fail(why);
      line.registerChoice = *choice;
    } else if (is("--trace")) {
      if (!value("--trace", trace) || trace.empty()) return fail("--trace needs the path of the trace file to write");
    } else if (is("--make-sample")) {
      if (!value("--make-sample", line.makeSample) || line.makeSample.empty()) {
        return fail("--make-sample needs the path of the database file to write");
      }
    } else if (is("--database")) {
      if (!value("--database", line.database) || line.database.empty()) {
        return fail("--database needs the path of a database file");
      }
    } else {
      return fail("unknown argument \"" + arg + "\"; see --help");
    }
  }
  line.registerChoice.tracePath = trace;
  return line;
}

std::string ArticlesCommandLine::Usage(const std::string& program) {
  return "Usage: " + program + " [options]\n"
         "Keeps the article and department tables of a cash register in a database file.\n"
         "\n"
         "  " + std::string(kRegisterOptionHelp) + "\n"
         "                          the register connection (default usb; demo is a built-in\n"
         "                          register with sample contents)\n"
         "  " + std::string(kTraceOptionHelp) + "\n"
         "  --database PATH         open this database file when the articles window opens\n"
         "  --make-sample PATH      write the demo register's departments and articles into a\n"
         "                          new database file and end\n"
         "  --version               show the version and end\n"
         "  --help                  show this text and end\n";
}
