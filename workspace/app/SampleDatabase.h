// A database file filled from the built-in demo register: a small grocery with
// its departments and a few hundred articles, for trying the program out. It
// is made the way an operator would make it, by a download through the
// articles window's logic.
#pragma once

#include <cstddef>
#include <string>

class SampleDatabase {
 public:
  // Writes a new database file at path; false with the reason in error when the
  // file exists already or the download failed. articles: how many were written.
  static bool Create(const std::string& path, std::string* error, std::size_t* articles = nullptr);
};
