#include "transfer/TransferService.h"

#include <algorithm>
#include <vector>

#include "data/ArticleSlots.h"

namespace {

using Clock = std::chrono::steady_clock;

TransferOutcome& Finish(TransferOutcome& outcome, Clock::time_point started) {
  outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  return outcome;
}

void FailFile(TransferOutcome& outcome, FileStep step, const std::string& file, const std::string& why) {
  outcome.result = TransferResult::FileFailed;
  outcome.fileStep = step;
  outcome.file = file;
  outcome.why = why;
}

// Every article slot the file has, not only those in use: an article left
// behind would later be uploaded as if it came from the register.
IoResult ClearArticleSlots(DatabaseFile& file) {
  const std::uint64_t length = file.Length();
  if (length <= kArticleAreaOffset) return IoResult::Ok();
  const std::uint64_t slots = (length - kArticleAreaOffset) / sizeof(ArticleRecord);
  const std::vector<char> zeros(64 * sizeof(ArticleRecord) * 16, 0);
  std::uint64_t offset = kArticleAreaOffset;
  std::uint64_t remaining = slots * sizeof(ArticleRecord);
  while (remaining > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, zeros.size()));
    if (IoResult written = file.WriteAt(offset, zeros.data(), chunk); !written) return written;
    offset += chunk;
    remaining -= chunk;
  }
  return IoResult::Ok();
}

}  // namespace

DownloadRequest DownloadRequest::Tables(const std::string& path, const DatabaseFile& base, bool articles,
                                        bool departments, bool keepBackup) {
  DownloadRequest request;
  request.path = path;
  // The caller holds the target open itself.
  request.replacement.lockTarget = false;
  request.replacement.keepBackup = keepBackup;
  request.start = Start::CopyOf;
  request.base = &base;
  request.articles = articles;
  request.departments = departments;
  request.department.downloaded = 1;
  return request;
}

DownloadRequest DownloadRequest::NewDatabase(const std::string& path, char taxLetter) {
  DownloadRequest request;
  request.path = path;
  request.start = Start::NewDatabase;
  request.taxLetter = taxLetter;
  request.department.downloaded = 1;
  return request;
}

DownloadRequest DownloadRequest::Report(const std::string& path) {
  DownloadRequest request;
  request.path = path;
  request.report = true;
  return request;
}

TransferOutcome TransferService::ReadParameters(TransferControl& control) {
  const auto started = Clock::now();
  TransferOutcome outcome;
  control.Begin("Reading the register's parameters", 0);
  if (!link_.ReadDeviceParameters()) outcome.result = TransferResult::RegisterFailed;
  return Finish(outcome, started);
}

TransferOutcome TransferService::Download(const DownloadRequest& request, DatabaseFile& placed,
                                          TransferControl& control, const TransferProgress& progress) {
  const auto started = Clock::now();
  TransferOutcome outcome;
  DatabaseFile fresh;
  IoResult begun = fresh.BeginReplacement(request.path, request.replacement);
  if (begun && request.start == DownloadRequest::Start::CopyOf) begun = CopyContents(*request.base, fresh);
  if (!begun) {
    fresh.Close();
    FailFile(outcome, FileStep::Begin, request.path, begun.error);
    return Finish(outcome, started);
  }
  const auto written = [&](const IoResult& result) {
    if (!result) FailFile(outcome, FileStep::Write, request.path, result.error);
    return result.ok;
  };
  bool ok = request.start == DownloadRequest::Start::CopyOf        ? true
            : request.start == DownloadRequest::Start::NewDatabase ? written(fresh.WriteNewContents(request.taxLetter))
                                                                   : written(fresh.WriteHeader());
  bool cancelled = false;

  if (ok && request.articles) {
    ok = written(ClearArticleSlots(fresh));
    // The register does not say how many articles it holds.
    if (ok) control.Begin("Articles", 0);
    ArticleRecord article = request.article;
    char state = 0;
    for (std::uint32_t slot = 1; ok; ++slot) {
      if (control.StopRequested()) {
        cancelled = true;
        break;
      }
      const char asked = slot == 1 ? 'F' : 'N';
      const bool answered = request.report ? link_.ReadReportArticle(article, asked, state)
                                           : link_.DownloadArticle(article, asked, state);
      if (!answered) {
        // A stop asked for counts whatever the exchange in progress gave.
        cancelled = control.StopRequested();
        if (!cancelled) outcome.articleFailedAt = slot;
        break;
      }
      if (state == 'F') break;
      if (!written(fresh.WriteArticle(slot, article))) break;
      ++outcome.articles;
      if (progress.article) progress.article(article, slot);
      control.Advance(slot);
    }
    ok = !cancelled && !outcome.FileFailed();
  }

  // A report goes on to the departments after the register failed on an article.
  if (ok && request.departments && (request.report || !outcome.articleFailedAt)) {
    const std::uint32_t count = link_.Profile().departmentCount;
    control.Begin("Departments", count);
    DepartmentRecord department = request.department;
    for (std::uint32_t position = 0; position < count; ++position) {
      if (control.StopRequested()) {
        cancelled = true;
        break;
      }
      if (!link_.DownloadDepartment(department, position)) {
        cancelled = control.StopRequested();
        if (!cancelled) outcome.departmentFailedAt = position;
        break;
      }
      if (!written(fresh.WriteDepartment(position, department))) break;
      ++outcome.departments;
      if (progress.department) progress.department(department, position);
      control.Advance(position + 1);
    }
    ok = !cancelled && !outcome.FileFailed();
  }

  const bool registerFailed = outcome.articleFailedAt || outcome.departmentFailedAt;
  // A register that sent nothing at all leaves an earlier report as it was.
  const bool received = outcome.articles + outcome.departments > 0;
  if (ok && (!registerFailed || (request.report && received))) {
    if (const IoResult committed = fresh.CommitReplacement(); committed) {
      placed = std::move(fresh);
      outcome.placed = true;
    } else {
      FailFile(outcome, FileStep::Commit, request.path, committed.error);
    }
  }
  if (!outcome.placed) fresh.Close();
  if (cancelled) {
    outcome.result = TransferResult::Cancelled;
  } else if (!outcome.FileFailed() && registerFailed) {
    outcome.result = TransferResult::RegisterFailed;
  }
  return Finish(outcome, started);
}

TransferOutcome TransferService::Upload(const DatabaseFile& source, const UploadSelection& selection,
                                        TransferControl& control, const TransferProgress& progress) {
  const auto started = Clock::now();
  TransferOutcome outcome;
  bool cancelled = false;
  if (selection.table == UploadSelection::Table::Articles) {
    control.Begin("Articles", selection.expected);
    ArticleSlots slots(source, SlotRule::InUse);
    for (const ArticleSlots::Slot slot : slots) {
      if (selection.wanted && !selection.wanted(slot.record)) continue;
      if (control.StopRequested()) {
        cancelled = true;
        break;
      }
      if (!link_.UploadArticle(slot.record)) {
        outcome.articleFailedAt = slot.record.PLUNO;
        break;
      }
      ++outcome.articles;
      if (progress.article) progress.article(slot.record, slot.number);
      control.Advance(outcome.articles);
    }
    if (!cancelled && !outcome.articleFailedAt && slots.Failed()) {
      FailFile(outcome, FileStep::Read, source.Path(), slots.Error());
    }
  } else {
    const std::uint32_t count = link_.Profile().departmentCount;
    control.Begin("Departments", count);
    DepartmentRecord department = ZeroDepartment();
    for (std::uint32_t position = 0; position < count; ++position) {
      if (control.StopRequested()) {
        cancelled = true;
        break;
      }
      source.ReadDepartment(position, department);
      if (!link_.UploadDepartment(department)) {
        outcome.departmentFailedAt = position;
        break;
      }
      ++outcome.departments;
      if (progress.department) progress.department(department, position);
      control.Advance(position + 1);
    }
  }
  if (cancelled) {
    outcome.result = TransferResult::Cancelled;
  } else if (outcome.articleFailedAt || outcome.departmentFailedAt) {
    outcome.result = TransferResult::RegisterFailed;
  }
  return Finish(outcome, started);
}

bool TransferService::HoldsArticlesInUse(const DatabaseFile& file) {
  ArticleSlots slots(file, SlotRule::InUse);
  return slots.begin() != std::default_sentinel || slots.Failed();
}
