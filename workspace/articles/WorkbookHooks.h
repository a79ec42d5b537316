// What Export XLS and Import XLS of the articles window do. The workbook
// exchange plugs in here; while a hook is empty its button stays disabled.
#pragma once

#include <functional>

class ArticlesWindowLogic;

struct WorkbookHooks {
  std::function<void(ArticlesWindowLogic&)> exportXls;
  std::function<void(ArticlesWindowLogic&)> importXls;
};
