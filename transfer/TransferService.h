// The transfers of one register: reading its parameters, downloading its tables
// or its sales report into a file that takes the place of the chosen one only
// when complete, and uploading tables from a database file. The windows, the
// console and the sample maker all transfer through it.
//
// A service serves one register connection and keeps no state of its own
// between calls: one service (and one engine) per register, on any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/DatabaseFile.h"
#include "data/FileReplacement.h"
#include "data/Records.h"
#include "device/RegisterTransfers.h"
#include "device/TransferControl.h"
#include "transfer/TransferOutcome.h"

// Record by record, on the transfer's thread: what came from the register (a
// download, with the slot or position it went to) or what it took (an upload).
struct TransferProgress {
  std::function<void(const ArticleRecord& article, std::uint32_t slot)> article;
  std::function<void(const DepartmentRecord& department, std::uint32_t position)> department;
};

struct DownloadRequest {
  // What the new file holds before the register's records go in.
  enum class Start {
    HeaderOnly,   // a report file
    NewDatabase,  // header and default departments, as a new database file
    CopyOf,       // the contents of base: a download of one table keeps the other
  };

  std::string path;  // the file the download replaces, or creates
  FileReplacement::Options replacement{};
  Start start = Start::HeaderOnly;
  const DatabaseFile* base = nullptr;  // Start::CopyOf
  char taxLetter = 'A';                // Start::NewDatabase: of the default departments
  bool articles = true;
  bool departments = true;
  // The sales report: articles read in the report form; a register that stops
  // answering half-way still gives a file of what it sent, departments included.
  bool report = false;
  // The records the replies fill: a field a reply leaves out keeps its value.
  ArticleRecord article = ZeroArticle();
  DepartmentRecord department = ZeroDepartment();

  // The tables of a database file (taken from base); articles only, departments only or both.
  static DownloadRequest Tables(const std::string& path, const DatabaseFile& base, bool articles, bool departments,
                                bool keepBackup);
  // Both tables into a new database file.
  static DownloadRequest NewDatabase(const std::string& path, char taxLetter);
  static DownloadRequest Report(const std::string& path);
};

// Which records an upload sends. Articles: those in use, and of them the ones
// wanted says (all when empty), so that a narrower choice (the changed ones,
// chosen PLU numbers) is a predicate away.
struct UploadSelection {
  enum class Table { Articles, Departments };
  Table table = Table::Articles;
  std::function<bool(const ArticleRecord&)> wanted;
  std::uint64_t expected = 0;  // the total the progress shows; 0 when not known

  static UploadSelection ArticlesInUse(std::uint64_t expected) { return {Table::Articles, {}, expected}; }
  static UploadSelection Departments() { return {Table::Departments, {}, 0}; }
};

class TransferService {
 public:
  explicit TransferService(RegisterTransfers& link) : link_(link) {}

  RegisterTransfers& Link() { return link_; }

  // Into the link's profile. RegisterFailed when the register does not answer.
  TransferOutcome ReadParameters(TransferControl& control);

  // The new file goes to placed (open) once it has taken the target's place;
  // until then the target is left byte for byte as it was, and a target that
  // did not exist is not made. Cancelled or failed, placed is left alone.
  TransferOutcome Download(const DownloadRequest& request, DatabaseFile& placed, TransferControl& control,
                           const TransferProgress& progress = {});

  // The upload stops at the first record the register refuses.
  TransferOutcome Upload(const DatabaseFile& source, const UploadSelection& selection, TransferControl& control,
                         const TransferProgress& progress = {});

  // Whether the file holds an article in use (or could not be read far enough
  // to tell): a report file holds none, and its figures must not reach a register.
  static bool HoldsArticlesInUse(const DatabaseFile& file);

 private:
  RegisterTransfers& link_;
};
