#include "workspace/app/ArticlesCommandLine.h"

#include <string_view>
#include <utility>

#include <functional>

#include <QCommandLineParser>
#include <QStringList>

#include "workspace/common/ProgramOptions.h"

namespace {

// What this program does with each option of the common table; names, value
// names and help texts come from the table.
struct Option {
  QStringList names;
  const char* valueName;  // nullptr for a switch
  const char* help;
  std::string missingValue;  // what a missing or empty value is told
  // Stores one value (or sets the switch); false with the reason in error.
  std::function<bool(ArticlesCommandLine&, const std::string&, std::string*)> apply;
};

using Apply = std::function<bool(ArticlesCommandLine&, const std::string&, std::string*)>;

auto Switch(bool ArticlesCommandLine::*field) {
  return [field](ArticlesCommandLine& line, const std::string&, std::string*) { return line.*field = true; };
}

auto Text(std::string ArticlesCommandLine::*field) {
  return [field](ArticlesCommandLine& line, const std::string& value, std::string*) {
    line.*field = value;
    return true;
  };
}

bool Register(ArticlesCommandLine& line, const std::string& value, std::string* error) {
  auto choice = RegisterChoice::Parse(value, error);
  if (!choice) return false;
  choice->tracePath = line.registerChoice.tracePath;  // --trace may come first
  line.registerChoice = *choice;
  return true;
}

// The missing-value message and the effect of each option this program takes.
std::pair<std::string, Apply> Handling(std::string_view name) {
  if (name == "register") return {"--register needs a value: " + RegisterOptionHelp(), Register};
  if (name == "trace") {
    return {"--trace needs the path of the trace file to write",
            [](ArticlesCommandLine& line, const std::string& value, std::string*) {
              line.registerChoice.tracePath = value;
              return true;
            }};
  }
  if (name == "database") return {"--database needs the path of a database file", Text(&ArticlesCommandLine::database)};
  if (name == "make-sample") {
    return {"--make-sample needs the path of the database file to write", Text(&ArticlesCommandLine::makeSample)};
  }
  if (name == "version") return {{}, Switch(&ArticlesCommandLine::version)};
  return {{}, Switch(&ArticlesCommandLine::help)};
}

const std::vector<Option>& Options() {
  static const std::vector<Option> options = [] {
    std::vector<Option> rows;
    for (const ProgramOption& row : OptionsOf(kArticlesProgram)) {
      QStringList names;
      if (row.shortName) names << QString(QChar(row.shortName));
      names << QString::fromUtf8(row.name);
      auto [missing, apply] = Handling(row.name);
      rows.push_back({names, row.valueName, row.help, std::move(missing), std::move(apply)});
    }
    return rows;
  }();
  return options;
}

void Declare(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Keeps the article and department tables of a cash register in a database file.\n"
                     "Qt's own options (-platform NAME, -style NAME, ...) are taken as well."));
  for (const Option& option : Options()) {
    QCommandLineOption declared(option.names, QString::fromUtf8(option.help));
    if (option.valueName) declared.setValueName(QString::fromUtf8(option.valueName));
    parser.addOption(declared);
  }
}

// The argument as it was written, for the message about an unknown option.
std::string Written(const std::vector<std::string>& args, const std::string& name) {
  for (const std::string& arg : args) {
    const std::string bare = arg.substr(0, arg.find('='));
    if (bare == "-" + name || bare == "--" + name) return arg;
  }
  return "-" + name;
}

}  // namespace

std::optional<ArticlesCommandLine> ArticlesCommandLine::Parse(const std::vector<std::string>& args,
                                                              std::string* error) {
  std::string reason;
  const auto fail = [&](std::string why) -> std::optional<ArticlesCommandLine> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  QCommandLineParser parser;
  Declare(parser);
  QStringList arguments{QStringLiteral("articles")};
  for (const std::string& arg : args) arguments << QString::fromStdString(arg);
  if (!parser.parse(arguments)) {
    if (!parser.unknownOptionNames().isEmpty()) {
      const std::string name = parser.unknownOptionNames().first().toStdString();
      return fail("unknown argument \"" + Written(args, name) + "\"; see --help");
    }
    // The parser takes any next argument as a value, so only the last one can lack it.
    for (const Option& option : Options()) {
      for (const QString& name : option.names) {
        if (option.valueName && args.back() == "--" + name.toStdString()) {
          return fail(option.missingValue);
        }
      }
    }
    return fail(parser.errorText().toStdString());
  }
  if (!parser.positionalArguments().isEmpty()) {
    return fail("unknown argument \"" + parser.positionalArguments().first().toStdString() + "\"; see --help");
  }
  ArticlesCommandLine line;
  for (const Option& option : Options()) {
    const QString& name = option.names.last();
    if (!parser.isSet(name)) continue;
    // Every value is checked; the last one given is the one kept.
    const QStringList values = option.valueName ? parser.values(name) : QStringList{QString()};
    for (const QString& value : values) {
      if (option.valueName && value.isEmpty()) return fail(option.missingValue);
      if (!option.apply(line, value.toStdString(), &reason)) return fail(reason);
    }
  }
  return line;
}

std::string ArticlesCommandLine::Usage(const std::string& program) {
  QCommandLineParser parser;
  Declare(parser);
  const std::string text = parser.helpText().toStdString();
  // The parser names the program only when an application object exists.
  return "Usage: " + program + " [options]" + text.substr(text.find('\n'));
}
