// Workbook export and import from the articles and reports windows, through the
// real converter program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "workspace/articles/ArticlesWindowLogic.h"
#include "data/Config.h"
#include "tests/device/FastTiming.h"
#include "workspace/common-qt/QtConverterLauncher.h"
#include "device/RegisterTransfers.h"
#include "reports/ReportsLogic.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/data/TempDir.h"
#include "workspace/common/WorkbookExchange.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"

namespace {

ArticleRecord Article(std::uint32_t plu, const std::string& name) {
  ArticleRecord a = ZeroArticle();
  a.PLUNO = plu;
  a.TAX_GROUP = 'A';
  a.SING_PRICE = plu + 0.25;
  SetName(a.NAME, name);
  a.BARCODE = 5900000000000 + plu;
  a.STOCKQTY = plu * 2;
  a.OPT_FRACT_QTY = 1;
  a.IN_USE = 1;
  return a;
}

class Workbooks : public ::testing::Test {
 protected:
  void SetUp() override { profile.SetForDeviceType(); }

  std::string MakeDatabase(const std::string& name, std::uint32_t articles, const std::string& prefix) {
    const std::string path = dir.File(name);
    DatabaseFile file;
    EXPECT_EQ(file.OpenDatabase(path, false).result, OpenResult::Created);
    EXPECT_TRUE(file.WriteNewContents('B'));
    DepartmentRecord edited = DefaultDepartment(1, 'C');
    SetName(edited.NAME, "Edited department");
    EXPECT_TRUE(file.WriteDepartment(0, edited));
    for (std::uint32_t plu = 1; plu <= articles; ++plu) {
      EXPECT_TRUE(file.WriteArticle(plu, Article(plu, prefix + " " + std::to_string(plu))));
    }
    return path;
  }

  void Open(const std::string& path) {
    op.QueueFile(path);
    window.OnOpenDatabase();
    ASSERT_TRUE(window.Database().IsOpen());
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < window.ListCount(); ++i) lines.push_back(window.ListLine(i));
    return lines;
  }

  WorkspaceTestConfig config;
  TempDir dir;
  TempDir start;  // the start directory, where the transfer file goes
  ScriptedOperator op;
  DeviceProfile profile;
  QtConverterLauncher launcher;
  WorkbookExchange exchange{launcher, start.Path().string(), {ARTICLES_BIN_DIR}};
  ArticlesWindowLogic window{op, profile, nullptr, nullptr, nullptr};
};

}  // namespace

TEST_F(Workbooks, ExportThenImportRestoresTheArticles) {
  window.SetWorkbookExchange(&exchange);
  const std::string path = MakeDatabase("shop.db", 30, "Cr\xE8me d'or");
  Open(path);
  const auto exported = Lines();
  const std::string workbook = dir.File("shop.xlsx");
  op.QueueFile(workbook);
  window.OnExportXls();
  ASSERT_TRUE(std::filesystem::exists(workbook)) << testing::PrintToString(op.AskedTexts());
  // The transfer file was private to the run and is gone.
  EXPECT_FALSE(std::filesystem::exists(start.File("tmpDBTransfer.tmp")));
  EXPECT_TRUE(exchange.TransferPath().empty());
  EXPECT_EQ(op.FileChoices().back().defaultExtension, "xlsx");

  // Change the database, then bring the workbook back into it.
  op.QueueAnswer(Answer::Yes);
  window.Controls().selectedIndex = 0;
  window.OnDelete();
  ASSERT_EQ(window.ListCount(), 29u);

  // A department the workbook does not list (it holds the first eight).
  DepartmentRecord unlisted = DefaultDepartment(151, 'C');
  SetName(unlisted.NAME, "Not in the workbook");
  ASSERT_TRUE(window.Database().WriteDepartment(150, unlisted));
  const auto beforeImport = ReadBytes(path);

  op.QueueAnswer(Answer::Yes);  // overwrite the current database
  op.QueueFile(workbook);
  window.OnImportXls();
  EXPECT_EQ(Lines(), exported) << testing::PrintToString(op.AskedTexts());
  EXPECT_EQ(ReadBytes(path + ".bak"), beforeImport);
  // The question says what goes.
  ASSERT_FALSE(op.Asked().empty());
  const std::string question = op.Asked()[op.Asked().size() - 1].text;
  EXPECT_EQ(question.rfind(kMsgImportOverwrite, 0), 0u) << question;
  EXPECT_NE(question.find("The articles and the departments of shop.db will be replaced"), std::string::npos)
      << question;

  // The departments are the workbook's; the places it left empty get the defaults.
  DepartmentRecord department;
  window.Database().ReadDepartment(0, department);
  EXPECT_EQ(NameOf(department.NAME), "Edited department");
  EXPECT_EQ(department.TAX_GROUP, 'C');
  window.Database().ReadDepartment(1, department);
  EXPECT_EQ(NameOf(department.NAME), "Department 2");
  window.Database().ReadDepartment(150, department);
  EXPECT_EQ(NameOf(department.NAME), "Department 151");
  EXPECT_EQ(department.DEPTNO, 151u);
  EXPECT_EQ(department.OPT_FRACT_QTY, 1);
  EXPECT_EQ(department.TAX_GROUP, DefaultDepartmentTaxLetter());
  EXPECT_TRUE(window.Database().CheckHeader());
}

TEST_F(Workbooks, AWrittenWorkbookIsNamedForWhatItIs) {
  struct Case {
    const char* typed;
    const char* written;
  };
  for (const Case& c :
       {Case{"prices.xls", "prices.xlsx"}, Case{"prices.XLS", "prices.xlsx"}, Case{"prices.ods", "prices.xlsx"},
        Case{"prices", "prices.xlsx"}, Case{"prices.2024", "prices.2024.xlsx"}, Case{"prices.xlsx", "prices.xlsx"},
        Case{"PRICES.XLSX", "PRICES.XLSX"}, Case{"/a.b/prices.xls", "/a.b/prices.xlsx"}}) {
    EXPECT_EQ(WorkbookExchange::XlsxName(c.typed), c.written) << c.typed;
  }

  window.SetWorkbookExchange(&exchange);
  Open(MakeDatabase("shop.db", 3, "Tea"));
  op.QueueFile(dir.File("prices.xls"));
  window.OnExportXls();
  EXPECT_EQ(op.FileChoices().back().proposedName, "shop.xlsx");
  EXPECT_TRUE(std::filesystem::exists(dir.File("prices.xlsx"))) << testing::PrintToString(op.AskedTexts());
  EXPECT_FALSE(std::filesystem::exists(dir.File("prices.xls")));
  EXPECT_EQ(window.Controls().statusText, "Workbook written: " + dir.File("prices.xlsx"));

  // The dialog asked about prices.xls; the file that would be replaced is asked about here.
  const auto written = ReadBytes(dir.File("prices.xlsx"));
  op.QueueFile(dir.File("prices.xls"));
  op.QueueAnswer(Answer::No);
  op.QueueFile(std::nullopt);
  window.OnExportXls();
  EXPECT_EQ(op.AskedTexts().back(), "prices.xlsx already exists.\nDo you want to replace it?");
  EXPECT_EQ(op.FileChoices().size(), 4u);  // the dialog came again
  EXPECT_EQ(ReadBytes(dir.File("prices.xlsx")), written);
}

TEST_F(Workbooks, ImportCutsALongerOldFile) {
  window.SetWorkbookExchange(&exchange);
  const std::string small = MakeDatabase("small.db", 5, "Small");
  Open(small);
  const std::string workbook = dir.File("small.xlsx");
  op.QueueFile(workbook);
  window.OnExportXls();
  ASSERT_TRUE(std::filesystem::exists(workbook));

  const std::string big = MakeDatabase("big.db", 80, "Big");
  Open(big);
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(workbook);
  window.OnImportXls();
  EXPECT_EQ(window.ListCount(), 5u);
  EXPECT_EQ(std::filesystem::file_size(big), 25620u + 5 * 184);
  window.ShowArticles();
  EXPECT_EQ(window.ListCount(), 5u);
  EXPECT_EQ(window.ListLine(0), "00001 : 5900000000001 : Small 1");
}

TEST_F(Workbooks, AFailingConverterLeavesTheDatabaseAsItWas) {
  window.SetWorkbookExchange(&exchange);
  const std::string path = MakeDatabase("shop.db", 12, "Keep");
  Open(path);
  const auto before = ReadBytes(path);

  // Not a workbook: the converter says why and ends with status 1.
  const std::string garbage = dir.File("garbage.xlsx");
  WriteBytes(garbage, std::vector<unsigned char>(100, 'x'));
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(garbage);
  window.OnImportXls();
  EXPECT_EQ(op.Asked().back().icon, MessageIcon::Error);
  EXPECT_NE(op.Asked().back().text.find("XLS Database Write Error"), std::string::npos) << op.Asked().back().text;
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
  EXPECT_EQ(window.ListCount(), 12u);

  // No converter at all.
  TempDir empty;
  WorkbookExchange nowhere(launcher, start.Path().string(), {empty.Path().string()});
  window.SetWorkbookExchange(&nowhere);
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(garbage);
  window.OnImportXls();
  EXPECT_EQ(op.Asked().back().text, "ERROR: CreateProcess failed!");
  EXPECT_EQ(ReadBytes(path), before);

  op.QueueFile(dir.File("out.xlsx"));
  window.OnExportXls();
  EXPECT_EQ(op.Asked().back().text, "ERROR: CreateProcess failed!");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.xlsx")));
}

TEST_F(Workbooks, NothingHappensWithoutADatabaseOrAWorkbook) {
  window.SetWorkbookExchange(&exchange);
  window.OnExportXls();
  EXPECT_EQ(op.AskedTexts(), std::vector<std::string>{"Open a DataBase File Please!"});
  EXPECT_TRUE(op.FileChoices().empty());

  const std::string path = MakeDatabase("shop.db", 3, "x");
  Open(path);
  op.QueueFile(std::nullopt);
  window.OnExportXls();
  EXPECT_FALSE(std::filesystem::exists(start.File("tmpDBTransfer.tmp")));

  // Import answered No, then the replacement .db dialog cancelled.
  const auto before = ReadBytes(path);
  op.QueueAnswer(Answer::No);
  op.QueueFile(std::nullopt);
  window.OnImportXls();
  EXPECT_EQ(op.FileChoices().back().kind, FileChoice::Kind::Save);
  EXPECT_EQ(window.OpenDialogMode(), 1);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(start.File("tmpDBTransfer.tmp")));
}

TEST_F(Workbooks, AFileReplacedByAFailedImportIsKept) {
  window.SetWorkbookExchange(&exchange);
  Open(MakeDatabase("current.db", 2, "Current"));
  const std::string other = MakeDatabase("other.db", 7, "Other");
  const auto before = ReadBytes(other);
  const std::string garbage = dir.File("garbage.xlsx");
  WriteBytes(garbage, std::vector<unsigned char>(100, 'x'));

  op.QueueAnswer(Answer::No);  // not into the current database ...
  op.QueueFile(other);         // ... but into this one, which is replaced
  op.QueueFile(garbage);
  window.OnImportXls();
  EXPECT_EQ(op.Asked().back().icon, MessageIcon::Error);
  EXPECT_EQ(ReadBytes(other), before);  // chosen for replacing, but nothing replaced it
  EXPECT_FALSE(std::filesystem::exists(other + ".bak"));

  // The workbook dialog cancelled after the other file was chosen: nothing written either.
  op.QueueAnswer(Answer::No);
  op.QueueFile(other);
  op.QueueFile(std::nullopt);
  window.OnImportXls();
  EXPECT_EQ(ReadBytes(other), before);
}

TEST_F(Workbooks, ADatabaseMadeInThisSessionIsKeptBeforeAnImport) {
  window.SetWorkbookExchange(&exchange);
  Open(MakeDatabase("source.db", 4, "Source"));
  const std::string workbook = dir.File("source.xlsx");
  op.QueueFile(workbook);
  window.OnExportXls();
  ASSERT_TRUE(std::filesystem::exists(workbook));
  window.OnClose();

  // An editor that types one article.
  struct TypingEditor : ArticleEditorPort {
    ArticleRecord record = ZeroArticle();
    ArticleRecord& Record() override { return record; }
    bool IsOpen() const override { return false; }
    bool DoModal() override {
      record.PLUNO = 99;
      SetName(record.NAME, "Typed today");
      return true;
    }
    void RefreshFromRecord() override {}
  } typing;
  ArticlesWindowLogic today{op, profile, &typing, nullptr, nullptr};
  today.SetWorkbookExchange(&exchange);
  const std::string made = dir.File("made-today.db");
  op.QueueFile(made);
  today.OnOpenDatabase();  // a new name: created now
  today.OnAddNew();
  ASSERT_EQ(today.ListCount(), 1u);
  const auto typed = ReadBytes(made);
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(workbook);
  today.OnImportXls();
  EXPECT_EQ(today.ListCount(), 4u);
  EXPECT_EQ(ReadBytes(made + ".bak"), typed);
}

TEST_F(Workbooks, ReportExportCarriesTheSalesFigures) {
  const DeviceTiming timing = FastTiming();
  DemoRegister::Options options;
  options.timing = timing;
  DemoRegister demo(options);
  cDeviceProtocol engine(timing);
  engine.Start(&demo);
  RegisterTransfers transfers(
      [&](std::uint16_t c, const std::string& q, std::string& r) { return engine.DeviceTransaction(c, q, r); },
      profile);
  ReportsLogic reports(op, profile, &transfers);
  reports.SetWorkbookExchange(&exchange);

  reports.ExportReport();
  EXPECT_EQ(op.AskedTexts().back(), "Open a DataBase File Please!");

  op.QueueFile(dir.File("report.db"));
  reports.DownloadReports();
  engine.Stop();
  const std::string workbook = dir.File("report.xlsx");
  op.QueueFile(dir.File("report.xls"));
  reports.ExportReport();
  ASSERT_TRUE(std::filesystem::exists(workbook)) << testing::PrintToString(op.AskedTexts());
  EXPECT_EQ(op.FileChoices().back().proposedName, "report.xlsx");
  EXPECT_EQ(reports.StatusText(), "Workbook written: " + workbook);

  // Read back through the converter: the same articles with their sales.
  DatabaseFile back;
  TransferControl control;
  ASSERT_TRUE(exchange.Import(op, reports.ReportFile(), workbook, "Quorvex", back, control));
  for (std::uint32_t slot = 1; slot <= reports.ArticleLines().size(); ++slot) {
    ArticleRecord original, imported;
    reports.ReportFile().ReadArticle(slot, original);
    ASSERT_EQ(back.ReadArticle(slot, imported), ReadStatus::Ok) << slot;
    EXPECT_EQ(imported.PLUNO, original.PLUNO);
    EXPECT_EQ(NameOf(imported.NAME), NameOf(original.NAME));
    EXPECT_NEAR(imported.AMOUNT, original.AMOUNT, 0.005);
  }
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

namespace {

// A converter that never ends, as a hung one would.
std::string HangingConverter(const TempDir& folder) {
  const std::string path = folder.File(kArticlesConverterName);
  {
    std::ofstream script(path);
    script << "#!/bin/sh\nexec sleep 30\n";
  }
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

// Asks for the stop from another thread once the converter runs.
class StopWhileConverting : public TaskRunner {
 public:
  void Run(const std::string& /*title*/, const Task& task) override {
    TransferControl control;
    std::thread cancel([&control] {
      while (control.Snapshot().what.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      control.RequestStop();
    });
    task(control);
    cancel.join();
  }
};

}  // namespace

TEST_F(Workbooks, CancelAndTheTimeLimitEndTheConverterAndLeaveTheDatabase) {
  TempDir converters;
  HangingConverter(converters);
  WorkbookExchange hanging(launcher, start.Path().string(), {converters.Path().string()});
  window.SetWorkbookExchange(&hanging);
  StopWhileConverting runner;
  window.SetTaskRunner(&runner);
  const std::string path = MakeDatabase("shop.db", 12, "Kept");
  Open(path);
  const auto before = ReadBytes(path);
  const std::string workbook = dir.File("in.xlsx");
  WriteBytes(workbook, {'P', 'K'});

  const auto started = std::chrono::steady_clock::now();
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(workbook);
  window.OnImportXls();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_TRUE(window.TransferStopped());
  EXPECT_EQ(window.Controls().statusText, "Import cancelled: " + path + " was left as it was");
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

  QtConverterLauncher impatient(std::chrono::milliseconds(200));
  WorkbookExchange limited(impatient, start.Path().string(), {converters.Path().string()});
  window.SetWorkbookExchange(&limited);
  window.SetTaskRunner(nullptr);
  op.QueueFile(dir.File("out.xlsx"));
  window.OnExportXls();
  EXPECT_EQ(op.Asked().back().text, kMsgConverterTimedOut);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.xlsx")));
  EXPECT_EQ(ReadBytes(path), before);
  // The transfer files went with the runs.
  EXPECT_TRUE(hanging.TransferPath().empty());
  EXPECT_TRUE(limited.TransferPath().empty());
}
