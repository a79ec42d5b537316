// Loads the shipped ARTICLESRW.CONF (optionally with other tax letters) as the
// configuration text of a test, and the group names read from it.
#pragma once

#include <string>

#include "data/Config.h"

class WorkspaceTestConfig {
 public:
  explicit WorkspaceTestConfig(const std::string& taxChars = "ABCDEFGH");
  ~WorkspaceTestConfig();
  WorkspaceTestConfig(const WorkspaceTestConfig&) = delete;
  WorkspaceTestConfig& operator=(const WorkspaceTestConfig&) = delete;

  const GroupNames& Names() const { return names_; }

 private:
  GroupNames names_;
};
