// Quorvex: converts a database file to a workbook (-D) or a workbook back to a
// database file (-U); -I names the database file, -O the workbook.
#include <csignal>
#include <iostream>

#include "Converter.h"
#include "Reporter.h"

int main(int argc, char** argv) {
  // A write to a closed pipe is an error to report, not a reason to die.
  std::signal(SIGPIPE, SIG_IGN);
  Reporter reporter(std::cerr);
  return Converter(reporter).Run(argc, argv);
}
