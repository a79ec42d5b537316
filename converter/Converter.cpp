#include "converter/Converter.h"

#include "converter/CommandLine.h"
#include "data/Config.h"
#include "converter/Exporter.h"
#include "converter/Importer.h"

int Converter::Run(int argc, const char* const* argv) {
  const CommandLine line = CommandLine::Parse(argc, argv);
  if (line.mode == ConversionMode::None) return 0;
  // Names are stored in the code page ARTICLESRW.CONF sets for the product;
  // converting them in any other would garble every name that is not ASCII.
  if (!SelectConfiguredCodePage()) {
    reporter_.Line("the code page " + ConfiguredCodePage() + " set in " + kConfigFileName +
                   " cannot be used; nothing was converted");
    return 1;
  }
  switch (line.mode) {
    case ConversionMode::Export: return Exporter(reporter_).Run(line.databasePath, line.workbookPath);
    case ConversionMode::Import: return Importer(reporter_).Run(line.databasePath, line.workbookPath);
    case ConversionMode::None: break;
  }
  return 0;
}
