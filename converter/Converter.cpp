#include "Converter.h"

#include "CommandLine.h"
#include "Exporter.h"
#include "Importer.h"

int Converter::Run(int argc, const char* const* argv) {
  const CommandLine line = CommandLine::Parse(argc, argv);
  switch (line.mode) {
    case ConversionMode::Export: return Exporter(reporter_).Run(line.databasePath, line.workbookPath);
    case ConversionMode::Import: return Importer(reporter_).Run(line.databasePath, line.workbookPath);
    case ConversionMode::None: break;
  }
  return 0;
}
