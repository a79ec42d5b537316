#include "tests/workspace/support/WorkspaceTestConfig.h"

#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

#include "data/CodePage.h"

WorkspaceTestConfig::WorkspaceTestConfig(const std::string& taxChars) {
  std::ifstream in(std::string(ARTICLES_RESOURCES_DIR) + "/ARTICLESRW.CONF", std::ios::binary);
  if (!in) throw std::runtime_error("shipped ARTICLESRW.CONF not found");
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  text = std::regex_replace(text, std::regex("TAX_CHARS = \"[^\"]*\""), "TAX_CHARS = \"" + taxChars + "\"");
  config::Reset();
  config::LoadText(text);
  codepage::Select(codepage::kDefault);
  names_.Load();
}

WorkspaceTestConfig::~WorkspaceTestConfig() { config::Reset(); }
