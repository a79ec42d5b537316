// Quorvex: converts a database file to a workbook (-D) or a workbook back to a
// database file (-U); -I names the database file, -O the workbook.
#include <csignal>
#include <iostream>

#include "ArticlesVersion.h"
#include "converter/CommandLine.h"
#include "converter/Converter.h"
#include "converter/LibraryLog.h"
#include "converter/Reporter.h"

namespace {

constexpr const char* kUsage =
    "Usage: Quorvex -DW -IDB -OWORKBOOK    export the database or report file DB to an .xlsx workbook\n"
    "       Quorvex -UP -IDB -OWORKBOOK    import a workbook (.xlsx, .ods or .xls) into the database file DB\n"
    "       Quorvex --help | --version\n"
    "       --trace beside -D or -U also shows what the workbook libraries say\n"
    "\n"
    "An option is a dash, a key letter and a value, joined (-Ishop.db) or as the next\n"
    "argument (-I shop.db). -D and -U need a value too, any will do (-DW, -UP): a bare\n"
    "-D followed by -IDB is replaced by it. Only the first letter of the key counts, a\n"
    "later option overrides an earlier one, and other words are skipped. Without -D or\n"
    "-U nothing is done. Problems are reported on standard error, one line each, with\n"
    "exit status 1.\n";

}  // namespace

int main(int argc, char** argv) {
  // A write to a closed pipe is an error to report, not a reason to die.
  std::signal(SIGPIPE, SIG_IGN);
  const CommandLine line = CommandLine::Parse(argc, argv);
  if (line.help) {
    std::cout << kUsage;
    return 0;
  }
  if (line.version) {
    std::cout << "Quorvex " ARTICLES_VERSION "\n";
    return 0;
  }
  if (line.mode == ConversionMode::None) {
    // Nothing to convert still ends well, as it always did; a person gets a hint,
    // and a -D or -U whose slot the next option took is named.
    if (line.unfinishedMode != 0)
      std::cerr << "Quorvex: -" << line.unfinishedMode << " needs a value, as in -" << line.unfinishedMode
                << (line.unfinishedMode == 'D' ? "W" : "P") << ": nothing was done\n";
    else
      std::cerr << "Quorvex: nothing to do without -D (export) or -U (import); see Quorvex --help\n";
    return 0;
  }
  Reporter reporter(std::cerr);
  if (line.trace) library_log::ForwardTo(&reporter);
  return Converter(reporter).Run(argc, argv);
}
