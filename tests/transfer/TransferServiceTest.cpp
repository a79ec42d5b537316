// The transfer service against the demo register: the typed outcomes of
// downloads and uploads when the register fails, the operator cancels or all
// goes well, and four registers served at the same time.
#include "transfer/TransferService.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "data/DatabaseFile.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"
#include "tests/data/TempDir.h"
#include "tests/device/FastTiming.h"

namespace {

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// One demo register with its engine; faultAt: the register vanishes at that
// request (counted from 1, the parameter read included).
struct Register {
  Register() {
    DemoRegister::Options options;
    options.timing = FastTiming();
    demo = std::make_unique<DemoRegister>(options);
    engine.Start(demo.get());
    TransferControl control;
    EXPECT_TRUE(service.ReadParameters(control).Done());
  }
  ~Register() { engine.Stop(); }

  std::unique_ptr<DemoRegister> demo;
  cDeviceProtocol engine{FastTiming()};
  DeviceProfile profile;
  int requests = 0;
  int faultAt = 0;
  RegisterTransfers link{[this](std::uint16_t command, const std::string& request, std::string& reply) {
                           if (++requests == faultAt) demo->InjectFault(DemoRegister::Fault::Vanish);
                           return engine.DeviceTransaction(command, request, reply);
                         },
                         profile};
  TransferService service{link};
};

TEST(TransferService, DownloadOutcomes) {
  struct Case {
    const char* name;
    bool report;
    bool fileExists;
    int faultAfterParameters;  // 0: none
    int stopAtArticle;         // 0: none
    TransferResult result;
    bool placed;
  };
  for (const Case& c : {
           Case{"tables", false, false, 0, 0, TransferResult::Done, true},
           Case{"report", true, true, 0, 0, TransferResult::Done, true},
           Case{"tables, register gone at article 3", false, true, 3, 0, TransferResult::RegisterFailed, false},
           Case{"tables into a new path, register gone", false, false, 3, 0, TransferResult::RegisterFailed, false},
           Case{"report, register gone at article 3", true, false, 3, 0, TransferResult::RegisterFailed, true},
           Case{"report, register gone at once", true, true, 1, 0, TransferResult::RegisterFailed, false},
           Case{"tables cancelled", false, true, 0, 2, TransferResult::Cancelled, false},
           Case{"report cancelled", true, false, 0, 2, TransferResult::Cancelled, false},
       }) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Register reg;
    const std::string path = dir.File("target.db");
    DatabaseFile base;
    if (c.fileExists) {
      ASSERT_TRUE(base.CreateEmpty(path).ok);
      ASSERT_TRUE(base.WriteNewContents('A').ok);
      // Only a download of the tables starts from the open file; a report's target is nobody's.
      if (c.report) base.Close();
    }
    const std::vector<char> before = Bytes(path);
    if (c.faultAfterParameters) reg.faultAt = reg.requests + c.faultAfterParameters;
    TransferControl control;
    control.SetListener([&](TransferControl& t) {
      const auto now = t.Snapshot();
      if (c.stopAtArticle && now.what == "Articles" && now.done == static_cast<std::uint64_t>(c.stopAtArticle)) {
        t.RequestStop();
      }
    });
    const DownloadRequest request = c.report       ? DownloadRequest::Report(path)
                                    : c.fileExists ? DownloadRequest::Tables(path, base, true, true, true)
                                                   : DownloadRequest::NewDatabase(path, 'A');
    DatabaseFile placed;
    const TransferOutcome outcome = reg.service.Download(request, placed, control);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.placed, c.placed);
    EXPECT_EQ(placed.IsOpen(), c.placed);
    if (c.result == TransferResult::Done) {
      EXPECT_EQ(outcome.articles, reg.demo->ArticleCount());
      EXPECT_EQ(outcome.departments, reg.profile.departmentCount);
    }
    if (c.result == TransferResult::RegisterFailed) {
      // Articles are counted by slot; the register went at the n-th article request.
      EXPECT_EQ(outcome.articleFailedAt, std::optional<std::uint32_t>(c.faultAfterParameters));
      EXPECT_EQ(outcome.articles, static_cast<std::uint64_t>(c.faultAfterParameters - 1));
      // A partial report still asks for the departments: the register is gone for them too.
      EXPECT_EQ(outcome.departmentFailedAt.has_value(), c.report);
    }
    if (!c.placed) {
      EXPECT_EQ(std::filesystem::exists(path), c.fileExists) << "nothing made until complete";
      EXPECT_EQ(Bytes(path), before) << "the old file byte for byte";
    }
    // The backup is of a complete file, and only for the tables of an existing file.
    EXPECT_EQ(std::filesystem::exists(path + ".bak"), c.placed && c.fileExists && !c.report);
  }
}

TEST(TransferService, UploadOutcomes) {
  TempDir dir;
  Register source;
  const std::string path = dir.File("shop.db");
  DatabaseFile file;
  TransferControl control;
  ASSERT_TRUE(source.service.Download(DownloadRequest::NewDatabase(path, 'A'), file, control).Done());
  const std::uint64_t inUse = source.demo->ArticleCount();

  Register target;
  TransferOutcome all = target.service.Upload(file, UploadSelection::ArticlesInUse(inUse), control);
  EXPECT_TRUE(all.Done());
  EXPECT_EQ(all.articles, inUse);

  // A narrower choice is a predicate: even PLU numbers only.
  UploadSelection even = UploadSelection::ArticlesInUse(0);
  std::uint64_t wanted = 0;
  even.wanted = [&](const ArticleRecord& a) { return a.PLUNO % 2 == 0 && ++wanted > 0; };
  EXPECT_EQ(target.service.Upload(file, even, control).articles, wanted);

  EXPECT_EQ(target.service.Upload(file, UploadSelection::Departments(), control).departments,
            target.profile.departmentCount);

  // The register goes at the third article: the outcome names that article.
  std::vector<std::uint32_t> plus;
  TransferProgress progress;
  progress.article = [&](const ArticleRecord& a, std::uint32_t) { plus.push_back(a.PLUNO); };
  target.faultAt = target.requests + 3;
  const TransferOutcome failed = target.service.Upload(file, UploadSelection::ArticlesInUse(inUse), control, progress);
  EXPECT_TRUE(failed.RegisterFailed());
  EXPECT_EQ(failed.articles, 2u);
  ASSERT_EQ(plus.size(), 2u);
  ArticleRecord third;
  std::uint32_t slot = 0, seen = 0;
  while (seen < 3 && file.ReadArticle(++slot, third) == ReadStatus::Ok) seen += third.IN_USE ? 1 : 0;
  EXPECT_EQ(failed.articleFailedAt, std::optional<std::uint32_t>(third.PLUNO));
}

// Nothing global stands between two registers: four served at once, each
// downloading into and uploading from its own files.
TEST(TransferService, FourRegistersAtOnce) {
  TempDir dir;
  std::vector<std::unique_ptr<Register>> registers;
  for (int i = 0; i < 4; ++i) registers.push_back(std::make_unique<Register>());
  std::vector<TransferOutcome> downloads(4), uploads(4), reports(4);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      Register& reg = *registers[i];
      TransferControl control;
      DatabaseFile file, report;
      downloads[i] = reg.service.Download(
          DownloadRequest::NewDatabase(dir.File("shop" + std::to_string(i) + ".db"), 'A'), file, control);
      uploads[i] = reg.service.Upload(file, UploadSelection::ArticlesInUse(0), control);
      reports[i] = reg.service.Download(DownloadRequest::Report(dir.File("report" + std::to_string(i) + ".db")), report,
                                        control);
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(downloads[i].Done());
    EXPECT_TRUE(uploads[i].Done());
    EXPECT_TRUE(reports[i].Done());
    EXPECT_EQ(uploads[i].articles, registers[i]->demo->ArticleCount());
    EXPECT_EQ(reports[i].articles, registers[i]->demo->ArticleCount());
  }
}

}  // namespace
