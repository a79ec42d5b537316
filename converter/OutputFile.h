// The workbook file an export writes (-O): refused, before anything is opened,
// when it is no plain file, when it is the database being exported, when it
// holds a database rather than a workbook, or when another program holds it.
#pragma once

#include <string>

#include "data/IoResult.h"

IoResult CheckWorkbookTarget(const std::string& workbookPath, const std::string& databasePath);

// The name under which a library that opens files by name writes into fd.
std::string DescriptorPath(int fd);
