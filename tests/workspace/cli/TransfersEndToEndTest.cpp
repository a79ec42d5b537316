// The transfers of the articles and reports windows against the demo register,
// through the real protocol engine.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/device/FastTiming.h"
#include "workspace/cli/ArticlesCli.h"
#include "ArticlesVersion.h"
#include "workspace/articles/ArticlesWindowLogic.h"
#include "device/RegisterTransfers.h"
#include "reports/ReportsLogic.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/data/TempDir.h"
#include "workspace/common/UiText.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"
#include "device/transport/DemoRegister.h"
#include "device/transport/TransportRegistry.h"
#include "workspace/common/ProgramOptions.h"
#include "device/cDeviceProtocol.h"

namespace {

double Round(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

ArticleRecord Article(std::uint32_t plu, int fractional) {
  ArticleRecord a = ZeroArticle();
  a.PLUNO = plu;
  a.TAX_GROUP = static_cast<char>('A' + plu % 8);
  a.SING_PRICE = 0.5 + plu * 1.25;
  a.MAX_PRICE = plu % 3 ? 0.0 : a.SING_PRICE * 2;
  SetName(a.NAME, (plu % 5 ? "Article " : "O'Brien \"best\" ") + std::to_string(plu));
  a.BARCODE = plu % 4 ? 4000000000000 + plu : 0;
  a.DEPARTMENT = static_cast<std::int32_t>(plu % 8);
  a.OPT_FRACT_QTY = fractional;
  a.STOCKQTY = fractional ? 12.345 + plu : 7.0 + plu;
  a.INITQTY = fractional ? 1.5 : 3.0;
  a.STOCK_GROUP = static_cast<std::int32_t>(plu % 20);
  a.MEASURE_UNIT = static_cast<std::int32_t>(plu % 10);
  a.OPT_SINGTRANS = plu % 2;
  a.OPT_FREEPRICE = (plu / 2) % 2;
  a.IN_USE = 1;
  return a;
}

class Transfers : public ::testing::Test {
 protected:
  void StartRegister(DemoRegister::Contents contents, const DemoRegister::Profile& registerProfile = {}) {
    DemoRegister::Options options;
    options.contents = contents;
    options.profile = registerProfile;
    options.timing = FastTiming();
    demo = std::make_unique<DemoRegister>(options);
    engine.Start(demo.get());
    profile.SetForDeviceType();
  }
  void TearDown() override { engine.Stop(); }

  TransactionFunction Transaction() {
    return [this](std::uint16_t command, const std::string& request, std::string& reply) {
      if (beforeRequest) beforeRequest(++requests);
      return engine.DeviceTransaction(command, request, reply);
    };
  }

  // A database file with these articles, written directly.
  std::string MakeDatabase(const std::string& name, const std::vector<ArticleRecord>& articles) {
    const std::string path = dir.File(name);
    DatabaseFile file;
    EXPECT_EQ(file.OpenDatabase(path, false).result, OpenResult::Created);
    EXPECT_TRUE(file.WriteNewContents('B'));
    for (std::size_t i = 0; i < articles.size(); ++i)
      EXPECT_TRUE(file.WriteArticle(static_cast<uint32_t>(i + 1), articles[i]));
    return path;
  }

  WorkspaceTestConfig config;
  TempDir dir;
  ScriptedOperator op;
  DeviceProfile profile;
  std::unique_ptr<DemoRegister> demo;
  cDeviceProtocol engine{FastTiming()};
  std::function<void(int)> beforeRequest;
  int requests = 0;
  RegisterTransfers transfers{Transaction(), profile};
  ArticlesWindowLogic window{op, profile, nullptr, nullptr, &transfers};
};

}  // namespace

TEST_F(Transfers, UploadThenDownloadGivesBackEveryFieldTheRegisterCarries) {
  for (int switches = 0; switches < 4; ++switches) {
    SCOPED_TRACE(switches);
    DemoRegister::Profile registerProfile;
    registerProfile.initialQtyEnabled = switches & 1;
    registerProfile.pluLinkEnabled = (switches >> 1) & 1;
    engine.Stop();
    StartRegister(DemoRegister::Contents::Empty, registerProfile);
    ASSERT_TRUE(transfers.ReadDeviceParameters());
    ASSERT_EQ(profile.initialQtyEnabled, registerProfile.initialQtyEnabled);

    std::vector<ArticleRecord> articles;
    for (std::uint32_t plu = 1; plu <= 12; ++plu) {
      ArticleRecord a = Article(plu, plu % 2);
      if (registerProfile.pluLinkEnabled && plu > 1) a.PLUNOLINK = static_cast<std::int32_t>(plu - 1);
      articles.push_back(a);
    }
    const std::string source = MakeDatabase("up" + std::to_string(switches) + ".db", articles);

    ArticlesWindowLogic up(op, profile, nullptr, nullptr, &transfers);
    op.QueueFile(source);
    up.OnOpenDatabase();
    up.Controls().viewMode = ViewMode::Articles;
    op.QueueAnswer(Answer::Ok);
    up.OnUpload();
    ASSERT_EQ(up.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));
    ASSERT_EQ(up.UploadFailed(), 0);

    ArticlesWindowLogic down(op, profile, nullptr, nullptr, &transfers);
    op.QueueFile(dir.File("down" + std::to_string(switches) + ".db"));
    op.QueueAnswer(Answer::Ok);
    down.DownloadTables(ViewMode::Articles);
    ASSERT_EQ(down.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));
    ASSERT_EQ(down.Table().Count(), articles.size());

    for (const ArticleRecord& sent : articles) {
      const auto index = down.Table().FindByPlu(sent.PLUNO);
      ASSERT_TRUE(index) << sent.PLUNO;
      ArticleRecord got;
      ASSERT_EQ(down.Database().ReadArticle(down.Table().Entry(*index).recordNo, got), ReadStatus::Ok);
      const int decimals = sent.OPT_FRACT_QTY ? 3 : 0;
      EXPECT_EQ(got.TAX_GROUP, sent.TAX_GROUP);
      EXPECT_EQ(got.SING_PRICE, Round(sent.SING_PRICE, 2));
      EXPECT_EQ(got.MAX_PRICE, Round(sent.MAX_PRICE, 2));
      EXPECT_EQ(NameOf(got.NAME), NameOf(sent.NAME));
      EXPECT_EQ(got.BARCODE, sent.BARCODE);
      EXPECT_EQ(got.DEPARTMENT, sent.DEPARTMENT);
      EXPECT_EQ(got.OPT_FRACT_QTY, sent.OPT_FRACT_QTY);
      EXPECT_EQ(got.STOCKQTY, Round(sent.STOCKQTY, decimals));
      EXPECT_EQ(got.INITQTY, registerProfile.initialQtyEnabled ? Round(sent.INITQTY, decimals) : 0.0);
      EXPECT_EQ(got.STOCK_GROUP, sent.STOCK_GROUP);
      EXPECT_EQ(got.MEASURE_UNIT, sent.MEASURE_UNIT);
      EXPECT_EQ(got.OPT_SINGTRANS, sent.OPT_SINGTRANS);
      EXPECT_EQ(got.OPT_FREEPRICE, sent.OPT_FREEPRICE);
      EXPECT_EQ(got.PLUNOLINK,
                registerProfile.pluLinkEnabled && !registerProfile.initialQtyEnabled ? sent.PLUNOLINK : 0);
      EXPECT_EQ(got.IN_USE, 1u);
    }
  }
}

TEST_F(Transfers, DepartmentsGoUpAndComeBack) {
  StartRegister(DemoRegister::Contents::Sample);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  const std::string path = MakeDatabase("shop.db", {});
  {
    DatabaseFile file;
    ASSERT_TRUE(file.OpenExisting(path));
    DepartmentRecord d = DefaultDepartment(3, 'C');
    SetName(d.NAME, "Fresh fish");
    d.SING_PRICE = 4.5;
    d.MAX_PRICE = 50;
    d.MAX_AMOUNT = 400;
    d.STOCK_GROUP = 4;
    d.MEASURE_UNIT = 1;
    ASSERT_TRUE(file.WriteDepartment(2, d));
  }
  op.QueueFile(path);
  window.OnOpenDatabase();
  window.OnSelectDepartments();
  op.QueueAnswer(Answer::Ok);
  window.OnUpload();
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));

  // Downloading with the departments view writes departments and leaves the articles alone.
  ArticleRecord keep = Article(77, 0);
  ASSERT_TRUE(window.Database().WriteArticle(1, keep));
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.OnDownload();
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));
  EXPECT_EQ(window.ListCount(), 8u);
  EXPECT_EQ(window.ListLine(2), "0003 : Fresh fish");
  DepartmentRecord back;
  window.Database().ReadDepartment(2, back);
  EXPECT_EQ(back.SING_PRICE, 4.5);
  EXPECT_EQ(back.MAX_AMOUNT, 400.0);
  EXPECT_EQ(back.STOCK_GROUP, 4);
  EXPECT_EQ(back.MEASURE_UNIT, 1);
  EXPECT_EQ(back.downloaded, 1);
  ArticleRecord article;
  window.Database().ReadArticle(1, article);
  EXPECT_EQ(article.PLUNO, 77u);
}

TEST_F(Transfers, DownloadClearsEveryOldArticleAndKeepsABackup) {
  StartRegister(DemoRegister::Contents::Empty);
  for (std::uint32_t plu = 1; plu <= 5; ++plu) demo->PutArticle(Article(plu, 0));
  ASSERT_TRUE(transfers.ReadDeviceParameters());

  std::vector<ArticleRecord> old;
  for (std::uint32_t plu = 100; plu < 150; ++plu) old.push_back(Article(plu, 0));
  const std::string path = MakeDatabase("shop.db", old);
  const auto before = ReadBytes(path);

  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.DownloadTables(ViewMode::Articles);
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));
  EXPECT_EQ(window.Table().Count(), 5u);
  EXPECT_EQ(window.ListCount(), 5u);
  EXPECT_EQ(ReadBytes(path + ".bak"), before);

  // Reloading finds no stale article behind the downloaded ones.
  window.ShowArticles();
  EXPECT_EQ(window.Table().Count(), 5u);
  EXPECT_EQ(std::filesystem::file_size(path), before.size());

  // Cancelling the overwrite question changes nothing.
  const auto now = ReadBytes(path);
  op.QueueFile(path);
  op.QueueAnswer(Answer::Cancel);
  window.OnDownload();
  EXPECT_EQ(ReadBytes(path), now);
}

TEST_F(Transfers, BeforeAnyTransferTheStatusLineClaimsNone) {
  StartRegister(DemoRegister::Contents::Sample);
  op.QueueAnswer(Answer::No);  // no opening download
  window.OnInitDialog(true);
  EXPECT_EQ(window.Controls().statusText, "Register attached: " + UiText("DV_1"));
  EXPECT_EQ(window.Controls().statusText.find(UiText("MSG_DEVICE_OK_MSG")), std::string::npos);
}

TEST_F(Transfers, TheDownloadQuestionNamesTheTablesThatGo) {
  StartRegister(DemoRegister::Contents::Sample);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  struct Case {
    ViewMode view;
    int all;
    const char* line;
  };
  for (const Case& c : {
           Case{ViewMode::Articles, 0,
                "The articles of q.db will be replaced by the register's; its departments stay as they are."},
           Case{ViewMode::Departments, 0,
                "The departments of q.db will be replaced by the register's; its articles stay as they are."},
           Case{ViewMode::Both, 1, "The articles and the departments of q.db will be replaced by the register's."},
       }) {
    op.QueueFile(dir.File("q.db"));
    op.QueueAnswer(Answer::Cancel);
    window.DownloadTables(c.view);
    ASSERT_FALSE(op.Asked().empty());
    EXPECT_EQ(op.Asked().back().text, UiText("MSG_DBOVERWIRTE_ATTENTION") + "\n\n" + c.line);
  }
}

TEST_F(Transfers, TheOpeningDownloadIsOfferedAgainAfterAFailure) {
  StartRegister(DemoRegister::Contents::Sample);
  int overwriteQuestions = 0;
  op.onAsk = [&](const AskedQuestion& q) {
    // The first download meets a register that refuses every frame.
    if (q.text.rfind(UiText("MSG_DBOVERWIRTE_ATTENTION"), 0) == 0 && ++overwriteQuestions == 1) {
      demo->InjectFault(DemoRegister::Fault::Nak, 30);
    }
  };
  const std::string path = dir.File("opening.db");
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.OnInitDialog(true);

  EXPECT_TRUE(window.Enabled().upload);
  EXPECT_EQ(overwriteQuestions, 2);
  EXPECT_EQ(window.TransferFailed(), 0);
  EXPECT_EQ(window.DownloadAll(), 0);
  EXPECT_EQ(window.Controls().viewMode, ViewMode::Articles);  // what the list shows
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));
  // Both tables were read; only the articles are listed.
  EXPECT_EQ(window.Kind(), ArticlesWindowLogic::ListKind::Articles);
  EXPECT_EQ(window.ListCount(), demo->ArticleCount());
  DepartmentRecord d;
  window.Database().ReadDepartment(0, d);
  EXPECT_EQ(d.downloaded, 1);
  EXPECT_EQ(NameOf(d.NAME), NameOf(demo->Department(1)->NAME));
  const auto questions = op.AskedTexts();
  EXPECT_EQ(std::count(questions.begin(), questions.end(), UiText("MSG_DOWNLOAD_QUESTION")), 2);
}

TEST_F(Transfers, InterruptedDownloadsLeaveTheOriginalAndARetryKeepsItAsTheBackup) {
  StartRegister(DemoRegister::Contents::Sample);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  std::vector<ArticleRecord> original;
  for (std::uint32_t plu = 500; plu < 520; ++plu) original.push_back(Article(plu, 1));
  const std::string path = MakeDatabase("shop.db", original);
  const auto before = ReadBytes(path);
  // A link planted at the backup's name is replaced, never written through.
  const std::string victim = dir.File("victim");
  WriteBytes(victim, {'m', 'i', 'n', 'e'});
  std::filesystem::create_symlink(victim, path + ".bak");

  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    beforeRequest = [&](int n) {
      if (n == 5 + attempt) demo->InjectFault(DemoRegister::Fault::Vanish);
    };
    requests = 0;
    op.QueueFile(path);
    op.QueueAnswer(Answer::Ok);
    window.DownloadTables(ViewMode::Both);
    EXPECT_EQ(window.TransferFailed(), 1);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(window.Table().Count(), original.size());  // the window shows the file
    demo->Attach();
  }
  beforeRequest = nullptr;
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.DownloadTables(ViewMode::Both);
  EXPECT_TRUE(window.DownloadReplacedFile());
  EXPECT_EQ(window.Table().Count(), demo->ArticleCount());
  EXPECT_EQ(ReadBytes(path + ".bak"), before);
  EXPECT_EQ(ReadBytes(victim), (std::vector<unsigned char>{'m', 'i', 'n', 'e'}));
  // The new file is held at once: no other program can open it.
  DatabaseFile other;
  EXPECT_FALSE(other.OpenExisting(path));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 3u) << "shop.db, shop.db.bak and victim, nothing left over";
}

TEST_F(Transfers, ADownloadIntoAReadOnlyFileIsRefusedWithAReason) {
  StartRegister(DemoRegister::Contents::Sample);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  const std::string path = MakeDatabase("ro.db", {Article(1, 0)});
  const auto before = ReadBytes(path);
  if (!MakeUnwritable(path)) GTEST_SKIP() << "cannot protect a file here";
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.DownloadTables(ViewMode::Articles);
  SetImmutable(path, false);
  EXPECT_EQ(window.TransferFailed(), 1);
  EXPECT_FALSE(window.DownloadReplacedFile());
  ASSERT_FALSE(op.Asked().empty());
  EXPECT_NE(op.Asked().back().text.find("ro.db"), std::string::npos) << op.Asked().back().text;
  EXPECT_EQ(ReadBytes(path), before);
}

namespace {

// A runner that asks for the stop once the named part has reached count.
void StopAt(DirectTaskRunner& runner, std::string what, std::uint64_t count) {
  runner.onProgress = [what = std::move(what), count](TransferControl& control) {
    const TransferControl::Progress progress = control.Snapshot();
    if (progress.what == what && progress.done == count) control.RequestStop();
  };
}

}  // namespace

TEST_F(Transfers, ARegisterThatFailsHalfWayLeavesTheFileAsItWas) {
  StartRegister(DemoRegister::Contents::Sample);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  // The request for article 21 goes unanswered until the exchange gives up.
  beforeRequest = [&](int n) {
    if (n == 21) demo->InjectFault(DemoRegister::Fault::Vanish);
  };
  DirectTaskRunner runner;
  window.SetTaskRunner(&runner);
  std::uint64_t articlesRead = 0;
  runner.onProgress = [&](TransferControl& control) { articlesRead = control.Snapshot().done; };
  requests = 0;
  op.QueueFile(dir.File("half.db"));
  op.QueueAnswer(Answer::Ok);
  window.DownloadTables(ViewMode::Articles);
  EXPECT_EQ(articlesRead, 20u);
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_ERROR_MSG") + "  -  no database file was written");
  EXPECT_EQ(window.TransferFailed(), 1);
  EXPECT_FALSE(window.DownloadReplacedFile());
  // A new file is made only by a complete download: none at all, and the list shows none of the twenty.
  EXPECT_FALSE(std::filesystem::exists(dir.File("half.db")));
  EXPECT_FALSE(window.Database().IsOpen());
  EXPECT_EQ(window.ListCount(), 0u);
  demo->Attach();

  // Nor by a cancelled one, nor when the question is answered with Cancel.
  StopAt(runner, "Articles", 5);
  op.QueueFile(dir.File("half.db"));
  op.QueueAnswer(Answer::Ok);
  window.OnDownload();
  EXPECT_EQ(window.Controls().statusText, "Download cancelled: no database file was written");
  op.QueueFile(dir.File("half.db"));
  op.QueueAnswer(Answer::Cancel);
  window.OnDownload();
  EXPECT_EQ(window.Controls().statusText, "Download cancelled: no database file was written");
  EXPECT_FALSE(window.Database().IsOpen());
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 0u);
  // A complete one makes it.
  runner.onProgress = nullptr;
  op.QueueFile(dir.File("half.db"));
  op.QueueAnswer(Answer::Ok);
  window.OnDownload();
  EXPECT_TRUE(window.DownloadReplacedFile());
  EXPECT_EQ(window.Table().Count(), demo->ArticleCount());
  EXPECT_GT(std::filesystem::file_size(dir.File("half.db")), 25620u);
  window.SetTaskRunner(nullptr);

  // A refused article (a link to a PLU the register does not have) stops the upload there.
  DemoRegister::Profile linked;
  linked.pluLinkEnabled = 1;
  demo->SetProfile(linked);
  demo->RemoveAllArticles();
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  ArticleRecord bad = Article(3, 0);
  bad.PLUNOLINK = 999;
  const std::string path = MakeDatabase("refused.db", {Article(1, 0), Article(2, 0), bad, Article(4, 0)});
  beforeRequest = nullptr;
  op.QueueFile(path);
  window.OnOpenDatabase();
  window.Controls().viewMode = ViewMode::Articles;
  op.QueueAnswer(Answer::Ok);
  window.OnUpload();
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_ERROR_MSG") + "  -  3");
  EXPECT_EQ(window.UploadFailed(), 1);
  EXPECT_TRUE(demo->Article(2));
  EXPECT_FALSE(demo->Article(4));
}

TEST_F(Transfers, OnlyArticlesInUseAreListedUploadedAndShown) {
  StartRegister(DemoRegister::Contents::Sample);
  ReportsLogic reports(op, profile, &transfers);
  reports.OnInitDialog(true);
  const std::string report = dir.File("report.db");
  op.QueueFile(report);
  reports.DownloadReports();
  ASSERT_EQ(reports.StatusText(), UiText("MSG_DEVICE_OK_MSG"));
  ASSERT_GT(reports.ArticleLines().size(), 0u);
  reports.Close();
  demo->RemoveAllArticles();

  ArticleRecord stale = Article(2, 0);
  stale.IN_USE = 0;  // a record left without the flag: not an article
  const std::string mixed = MakeDatabase("mixed.db", {Article(1, 0), stale, Article(3, 1)});
  const struct {
    std::string path;
    std::size_t listed;
    std::string status;
    std::size_t uploaded;
  } cases[] = {
      {report, 0, "no article in use in report.db \u2014 is it a report file?", 0},
      {mixed, 2, UiText("MSG_DEVICE_OK_MSG"), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    demo->RemoveAllArticles();
    const std::uint32_t framesBefore = demo->GetCounters().framesReceived;
    ArticlesWindowLogic up(op, profile, nullptr, nullptr, &transfers);
    op.QueueFile(c.path);
    up.OnOpenDatabase();
    EXPECT_EQ(up.Table().Count(), c.listed);
    up.Controls().viewMode = ViewMode::Articles;
    if (c.listed > 0) op.QueueAnswer(Answer::Ok);
    up.OnUpload();
    EXPECT_EQ(up.Controls().statusText, c.status);
    EXPECT_EQ(up.UploadFailed(), c.listed > 0 ? 0 : 1);
    EXPECT_EQ(demo->ArticleCount(), c.uploaded);
    if (c.uploaded == 0) {
      EXPECT_EQ(demo->GetCounters().framesReceived, framesBefore) << "nothing was sent";
    }
    up.OnClose();
  }
  EXPECT_FALSE(demo->Article(2));

  // The console lists a database's articles in use, and every record of a report file.
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const auto show = [&](const std::string& path) {
    std::rewind(out);
    ::ftruncate(fileno(out), 0);
    ArticlesCli cli({stdin, out, err, false}, FastTiming(), 200);
    EXPECT_EQ(cli.Run({"show", path}), 0);
    std::rewind(out);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
    return text;
  };
  const std::string mixedLines = show(mixed);
  EXPECT_NE(mixedLines.find("00001 : "), std::string::npos);
  EXPECT_EQ(mixedLines.find("00002 : "), std::string::npos) << mixedLines;
  EXPECT_NE(mixedLines.find("00003 : "), std::string::npos);
  const std::string reportLines = show(report);
  EXPECT_NE(reportLines.find(reports.ArticleLines().front().substr(0, 21)), std::string::npos) << reportLines;
  std::fclose(out);
  std::fclose(err);
}

TEST_F(Transfers, ReportDownloadAndReopen) {
  for (int initial = 0; initial < 2; ++initial) {
    SCOPED_TRACE(initial);
    DemoRegister::Profile registerProfile;
    registerProfile.initialQtyEnabled = initial;
    engine.Stop();
    StartRegister(DemoRegister::Contents::Sample, registerProfile);
    ReportsLogic reports(op, profile, &transfers);
    reports.OnInitDialog(true);
    ASSERT_TRUE(reports.DownloadEnabled());
    ASSERT_EQ(profile.initialQtyEnabled, static_cast<std::uint32_t>(initial));

    const std::string path = dir.File("report" + std::to_string(initial) + ".db");
    op.QueueFile(path);
    reports.DownloadReports();
    EXPECT_EQ(reports.StatusText(), UiText("MSG_DEVICE_OK_MSG"));
    ASSERT_EQ(reports.ArticleLines().size(), demo->ArticleCount());
    ASSERT_EQ(reports.DepartmentLines().size(), 8u);

    // The figures of every article and department are in the file.
    double articleTotal = 0, departmentTotal = 0;
    bool someInitial = false;
    for (std::uint32_t slot = 1; slot <= reports.ArticleLines().size(); ++slot) {
      ArticleRecord a;
      ASSERT_EQ(reports.ReportFile().ReadArticle(slot, a), ReadStatus::Ok);
      EXPECT_EQ(a.IN_USE, 0u);  // the report form leaves the flag as it found it
      articleTotal += a.AMOUNT;
      if (a.INITQTY != 0) someInitial = true;
      if (!initial) {
        EXPECT_EQ(a.INITQTY, 0.0);
      }
    }
    EXPECT_EQ(someInitial, initial == 1);
    for (std::uint32_t k = 0; k < 8; ++k) {
      DepartmentRecord d;
      reports.ReportFile().ReadDepartment(k, d);
      departmentTotal += d.AMOUNT;
    }
    EXPECT_GT(articleTotal, 0.0);
    EXPECT_GT(departmentTotal, 0.0);

    // Open Reports on the same file shows the same lines.
    const auto articleLines = reports.ArticleLines();
    const auto departmentLines = reports.DepartmentLines();
    ReportsLogic reopened(op, profile, nullptr);
    op.QueueFile(path);
    reports.Close();
    reopened.OpenReports();
    EXPECT_EQ(reopened.ArticleLines(), articleLines);
    EXPECT_EQ(reopened.DepartmentLines(), departmentLines);
  }
}

TEST_F(Transfers, AReportDownloadThatFailsHalfWayKeepsWhatCameAndStillReadsTheDepartments) {
  StartRegister(DemoRegister::Contents::Sample);
  ReportsLogic reports(op, profile, &transfers);
  reports.OnInitDialog(true);
  ASSERT_EQ(profile.departmentCount, 8u);
  const int articles = static_cast<int>(demo->ArticleCount());
  const std::string error = UiText("MSG_DEVICE_ERROR_MSG") + "  -  ";
  const std::string stopped = " before the register stopped answering";
  // One request refused until the exchange gives up, or a register that goes away.
  const auto refuse = [&] { demo->InjectFault(DemoRegister::Fault::Nak, cDeviceProtocol::kCredits); };
  const auto vanish = [&] { demo->InjectFault(DemoRegister::Fault::Vanish); };
  const struct {
    const char* name;
    int request;  // counted from the first article request
    std::function<void()> fault;
    std::size_t articles, departments;
    std::string status;
  } cases[] = {
      {"sixth article", 6, refuse, 5, 8, error + "5 articles received" + stopped},
      {"first article", 1, refuse, 0, 8, error + "0 articles received" + stopped},
      {"third department", articles + 4, refuse, std::size_t(articles), 2,
       error + "2 of 8 departments received" + stopped},
      {"gone after five", 6, vanish, 5, 0, error + "5 articles received" + stopped + ", 0 of 8 departments received"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".db");
    requests = 0;
    beforeRequest = [&](int n) {
      if (n == c.request) c.fault();
    };
    op.QueueFile(path);
    reports.DownloadReports();
    beforeRequest = nullptr;
    demo->Attach();
    EXPECT_EQ(reports.StatusText(), c.status);
    EXPECT_FALSE(reports.Stopped());
    EXPECT_EQ(reports.ArticleLines().size(), c.articles);
    EXPECT_EQ(reports.DepartmentLines().size(), c.departments);
    ASSERT_TRUE(reports.ReportFile().IsOpen());
    // The departments end a report without articles.
    EXPECT_EQ(std::filesystem::file_size(path),
              c.articles > 0 ? 25620u + 184u * c.articles : 20u + 128u * c.departments);
    if (c.departments > 0) {
      DepartmentRecord last;
      reports.ReportFile().ReadDepartment(static_cast<std::uint32_t>(c.departments - 1), last);
      EXPECT_EQ(last.DEPTNO, c.departments);
    }
    const auto lines = reports.ArticleLines();
    reports.Close();
    ReportsLogic reopened(op, profile, nullptr);
    op.QueueFile(path);
    reopened.OpenReports();
    EXPECT_EQ(reopened.ArticleLines(), lines);
  }

  // A register that sends nothing at all leaves an earlier report as it was.
  const std::string earlier = dir.File("sixth article.db");
  const auto before = ReadBytes(earlier);
  beforeRequest = [&](int n) {
    if (n == 1) vanish();
  };
  requests = 0;
  op.QueueFile(earlier);
  reports.DownloadReports();
  beforeRequest = nullptr;
  demo->Attach();
  EXPECT_EQ(reports.StatusText(), error + earlier + " was left as it was");
  EXPECT_FALSE(reports.ReportFile().IsOpen());
  EXPECT_EQ(ReadBytes(earlier), before);

  // The console tool writes the same report and says it is incomplete.
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ArticlesCli cli({stdin, out, err, false}, FastTiming(), 200);
  cli.SetRequestHook([](RegisterConnection& connection, int request) {
    // The parameter read is request 1: the sixth article request is 7.
    if (request == 7) {
      dynamic_cast<DemoRegister&>(connection.Transport())
          .InjectFault(DemoRegister::Fault::Nak, cDeviceProtocol::kCredits);
    }
  });
  const std::string cliReport = dir.File("cli-report.db");
  EXPECT_EQ(cli.Run({"--register", "demo", "--yes", "report", cliReport}), 1);
  std::rewind(out);
  std::string printed;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) printed.append(buffer, n);
  EXPECT_NE(printed.find("5 articles, 8 departments\n" + error + "5 articles received" + stopped), std::string::npos)
      << printed;
  EXPECT_EQ(std::filesystem::file_size(cliReport), 25620u + 5 * 184u);
  std::fclose(out);
  std::fclose(err);
}

TEST_F(Transfers, ReportViewLines) {
  StartRegister(DemoRegister::Contents::Empty);
  ArticleRecord a = Article(7, 1);
  a.STOCKQTY = kNotControlledWhole;
  a.INITQTY = 12.5;
  a.SOLDQTY = 3;
  a.AMOUNT = 9.75;
  demo->PutArticle(a);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  ReportsLogic reports(op, profile, &transfers);
  op.QueueFile(dir.File("r.db"));
  reports.DownloadReports();
  ASSERT_EQ(reports.ArticleLines().size(), 1u);

  auto lines = reports.ArticleDetails(0);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], UiText("MSG_PLUREP_NAME") + ": Article 7");
  EXPECT_EQ(lines[3], UiText("MSG_TOTAL") + ": 9.75");
  EXPECT_EQ(lines[5], UiText("MSG_STOCKQTY") + ":  ---");
  EXPECT_EQ(lines[6], UiText("MSG_INITQTY") + ": 0.000");  // the register keeps no initial quantity

  profile.secondPriceInReports = 1;
  lines = reports.ArticleDetails(0);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[4]), 2);  // the second-price total twice

  const auto department = reports.DepartmentDetails(0);
  ASSERT_EQ(department.size(), 3u);
  EXPECT_EQ(department[1].substr(department[1].size() - 4), ".000");
}

TEST_F(Transfers, CommandLineTool) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const auto run = [&](std::vector<std::string> args) {
    ArticlesCli cli({stdin, out, err, false}, FastTiming(), 200);
    return cli.Run(args);
  };
  const std::string db = dir.File("cli.db");
  EXPECT_EQ(run({"--register", "demo", "params"}), 0);
  EXPECT_EQ(run({"--register", "demo", "download", db}), 1);  // nobody to answer the question
  EXPECT_FALSE(std::filesystem::exists(db));
  EXPECT_FALSE(std::filesystem::exists(db + ".bak"));
  EXPECT_EQ(run({"--register", "demo", "--yes", "download", db}), 0);
  EXPECT_EQ(run({"show", db}), 0);
  EXPECT_EQ(run({"--register", "demo", "--yes", "upload", db}), 0);
  EXPECT_EQ(run({"--register", "demo", "--yes", "upload", "--departments", db}), 0);
  EXPECT_EQ(run({"--register", "demo", "--yes", "report", dir.File("report.db")}), 0);
  EXPECT_EQ(run({"--register", "demo", "upload", dir.File("missing.db")}), 1);
  EXPECT_EQ(run({"--register", "serial:/dev/no-such-tty", "params"}), 1);
  EXPECT_EQ(run({"--register", "nowhere", "params"}), 2);
  EXPECT_EQ(run({"frobnicate"}), 2);
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_EQ(run({"download"}), 2);
  EXPECT_EQ(run({"show", dir.File("missing.db")}), 1);

  std::rewind(out);
  std::string printed;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) printed.append(buffer, n);
  EXPECT_NE(printed.find("departments: 8"), std::string::npos);
  EXPECT_NE(printed.find("00101 : "), std::string::npos);
  EXPECT_NE(printed.find("0001 : "), std::string::npos);
  EXPECT_NE(printed.find("articles-cli " ARTICLES_VERSION "\n"), std::string::npos);
  std::fclose(out);
  std::fclose(err);
}

// --help is made from the option table and the transport registry.
TEST(CommandLineHelp, NamesEveryOptionAndEveryRegisterForm) {
  std::FILE* out = std::tmpfile();
  ArticlesCli cli({stdin, out, stderr, false});
  EXPECT_EQ(cli.Run({"--help"}), 0);
  std::rewind(out);
  std::string help;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) help.append(buffer, n);
  std::fclose(out);
  for (const ProgramOption& option : OptionsOf(kArticlesCliProgram)) {
    EXPECT_NE(help.find("--" + std::string(option.name)), std::string::npos) << option.name;
  }
  EXPECT_NE(help.find("[--register " + transports::Forms() + "]"), std::string::npos);
}

TEST_F(Transfers, AFileCutShortOpensAndTheWindowAndTheToolSayWhatItLacks) {
  StartRegister(DemoRegister::Contents::Empty);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const auto run = [&](std::vector<std::string> args) {
    ArticlesCli cli({stdin, out, err, false}, FastTiming(), 200);
    return cli.Run(args);
  };
  const auto take = [](std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    std::rewind(file);
    ::ftruncate(fileno(file), 0);
    return text;
  };
  std::vector<ArticleRecord> articles;
  for (std::uint32_t plu = 1; plu <= 30; ++plu) articles.push_back(Article(plu, 0));
  const struct {
    std::uint64_t length;
    std::size_t listed;
    const char* lacks;
  } cases[] = {
      {25620 + 23 * 184 + 90, 23, " ends inside article 24: 23 articles read"},
      {20 + 7 * 128 + 64, 0, " ends inside department 8: 7 of 200 departments read, no articles"},
      {25620 + 30 * 184, 30, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string path = MakeDatabase("shop" + std::to_string(c.length) + ".db", articles);
    std::filesystem::resize_file(path, c.length);
    const std::string expected = *c.lacks ? path + c.lacks : "";

    ArticlesWindowLogic shown(op, profile, nullptr, nullptr, &transfers);
    op.QueueFile(path);
    shown.OnOpenDatabase();
    ASSERT_TRUE(shown.Database().IsOpen());
    EXPECT_EQ(shown.Table().Count(), c.listed);
    EXPECT_EQ(shown.Controls().statusText, *c.lacks ? expected : "Active database file :" + path);
    shown.OnSelectArticles();
    EXPECT_EQ(shown.Controls().statusText, *c.lacks ? expected : "Active database file :" + path);
    shown.OnClose();

    take(out);
    take(err);
    EXPECT_EQ(run({"show", path}), 0);
    // A file without articles in use sends nothing and says so.
    EXPECT_EQ(run({"--register", "demo", "--yes", "upload", path}), c.listed > 0 ? 0 : 1);
    const std::string said = take(err);
    if (*c.lacks) {
      EXPECT_NE(said.find("articles-cli: " + expected + "\n"), std::string::npos) << said;
      EXPECT_NE(said.find(expected, said.find(expected) + 1), std::string::npos) << "show and upload both say so";
    } else {
      EXPECT_EQ(said.find(" ends "), std::string::npos) << said;
    }
  }
  std::fclose(out);
  std::fclose(err);
}

TEST_F(Transfers, CommandLineToolOnReadOnlyFilesAndAFullDisk) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const auto run = [&](std::vector<std::string> args) {
    ArticlesCli cli({stdin, out, err, false}, FastTiming(), 200);
    return cli.Run(args);
  };
  const auto take = [](std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    std::rewind(file);
    ::ftruncate(fileno(file), 0);
    return text;
  };
  const std::string db = dir.File("ro.db");
  ASSERT_EQ(run({"--register", "demo", "--yes", "download", db}), 0);
  const auto before = ReadBytes(db);
  if (MakeUnwritable(db)) {
    take(out);
    EXPECT_EQ(run({"show", db}), 0);
    EXPECT_EQ(run({"--register", "demo", "--yes", "upload", db}), 0);
    EXPECT_EQ(run({"--register", "demo", "--yes", "download", db}), 1);
    SetImmutable(db, false);
    EXPECT_NE(take(err).find("ro.db: "), std::string::npos);
    EXPECT_EQ(take(out).find(" articles\n"), std::string::npos) << "no count after a refused download";
    EXPECT_EQ(ReadBytes(db), before);
  }

  // A report file that cannot be written: the file is named, not the register.
  const std::string report = dir.File("report.db");
  ASSERT_EQ(run({"--register", "demo", "--yes", "report", report}), 0);
  const auto reportBefore = ReadBytes(report);
  take(out);
  take(err);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 30000;
  setrlimit(RLIMIT_FSIZE, &limited);
  const int status = run({"--register", "demo", "--yes", "report", report});
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(status, 1);
  EXPECT_NE(take(err).find("report.db: File too large"), std::string::npos);
  const std::string printed = take(out);
  EXPECT_EQ(printed.find(UiText("MSG_DEVICE_ERROR_MSG")), std::string::npos) << printed;
  EXPECT_EQ(printed.find("articles,"), std::string::npos) << printed;
  EXPECT_EQ(ReadBytes(report), reportBefore);
  std::fclose(out);
  std::fclose(err);
}

TEST_F(Transfers, ACancelledDownloadLeavesTheFileByteForByteWhereverItStops) {
  StartRegister(DemoRegister::Contents::Sample);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  std::vector<ArticleRecord> original;
  for (std::uint32_t plu = 500; plu < 520; ++plu) original.push_back(Article(plu, 0));
  const std::string path = MakeDatabase("shop.db", original);
  const auto before = ReadBytes(path);
  beforeRequest = [](int) {};
  DirectTaskRunner runner;
  window.SetTaskRunner(&runner);
  const std::uint64_t count = demo->ArticleCount();
  const struct {
    const char* what;
    std::uint64_t at;
    ViewMode mode;
  } cases[] = {{"Articles", 1, ViewMode::Both},
               {"Articles", count / 2, ViewMode::Both},
               {"Articles", count, ViewMode::Both},
               {"Departments", 1, ViewMode::Departments},
               {"Departments", 4, ViewMode::Departments}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " " + std::to_string(c.at));
    StopAt(runner, c.what, c.at);
    requests = 0;
    op.QueueFile(path);
    op.QueueAnswer(Answer::Ok);
    window.DownloadTables(c.mode);
    EXPECT_TRUE(window.TransferStopped());
    EXPECT_FALSE(window.DownloadReplacedFile());
    EXPECT_EQ(window.Controls().statusText, "Download cancelled: " + path + " was left as it was");
    EXPECT_EQ(requests, static_cast<int>(c.at)) << "the stop comes after the exchange in progress";
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
    EXPECT_EQ(window.Table().Count(), original.size());  // the window shows the file
  }
  // The opening download is not offered again after a Cancel.
  StopAt(runner, "Articles", 3);
  op.QueueAnswer(Answer::Yes);
  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.OnInitDialog(true);
  EXPECT_TRUE(window.TransferStopped());
  EXPECT_EQ(op.PendingAnswers(), 0u);
  EXPECT_TRUE(op.Unscripted().empty()) << testing::PrintToString(op.Unscripted());
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(Transfers, ACancelledUploadSaysHowMuchTheRegisterGot) {
  StartRegister(DemoRegister::Contents::Empty);
  ASSERT_TRUE(transfers.ReadDeviceParameters());
  std::vector<ArticleRecord> articles;
  for (std::uint32_t plu = 1; plu <= 30; ++plu) articles.push_back(Article(plu, 0));
  const std::string path = MakeDatabase("shop.db", articles);
  beforeRequest = [](int) {};
  DirectTaskRunner runner;
  window.SetTaskRunner(&runner);
  op.QueueFile(path);
  window.OnOpenDatabase();
  for (const std::uint64_t at : {1u, 15u}) {
    StopAt(runner, "Articles", at);
    requests = 0;
    op.QueueAnswer(Answer::Ok);
    window.Controls().viewMode = ViewMode::Articles;
    window.OnUpload();
    EXPECT_EQ(window.Controls().statusText, "Upload cancelled: " + std::to_string(at) + " of 30 articles sent");
    EXPECT_EQ(requests, static_cast<int>(at));
    EXPECT_EQ(window.UploadFailed(), 1);
  }
  // A stop asked for with the last article sent finds nothing left to stop.
  StopAt(runner, "Articles", 30);
  op.QueueAnswer(Answer::Ok);
  window.OnUpload();
  EXPECT_EQ(window.Controls().statusText, UiText("MSG_DEVICE_OK_MSG"));
  EXPECT_EQ(window.UploadFailed(), 0);
  EXPECT_EQ(demo->ArticleCount(), 30u);

  StopAt(runner, "Departments", 4);
  op.QueueAnswer(Answer::Ok);
  window.Controls().viewMode = ViewMode::Departments;
  window.OnUpload();
  EXPECT_EQ(window.Controls().statusText, "Upload cancelled: 4 of 8 departments sent");
}

TEST_F(Transfers, ACancelledReportDownloadLeavesNoFile) {
  StartRegister(DemoRegister::Contents::Sample);
  ReportsLogic reports(op, profile, &transfers);
  DirectTaskRunner runner;
  reports.SetTaskRunner(&runner);
  reports.OnInitDialog(true);
  StopAt(runner, "Articles", 5);
  const std::string path = dir.File("report.db");
  op.QueueFile(path);
  reports.DownloadReports();
  EXPECT_TRUE(reports.Stopped());
  EXPECT_EQ(reports.StatusText(), "Download cancelled: no report file was written");
  EXPECT_TRUE(reports.ArticleLines().empty());
  EXPECT_FALSE(reports.ReportFile().IsOpen());
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 0u);
}

namespace {

struct Finished {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string output;
  std::chrono::milliseconds afterSignal{0};
};

// Runs articles-cli against the demo register at the product's own timing;
// sends signalNumber after delay unless it is 0.
Finished RunConsoleTool(const std::vector<std::string>& args, int signalNumber, std::chrono::milliseconds delay,
                        const std::string& outputPath) {
  std::vector<std::string> all{std::string(ARTICLES_BIN_DIR) + "/articles-cli"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDOUT_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  Finished finished;
  const auto signalled = std::chrono::steady_clock::now() + delay;
  if (signalNumber != 0) {
    std::this_thread::sleep_until(signalled);
    ::kill(child, signalNumber);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  finished.afterSignal =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - signalled);
  if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
  const auto bytes = ReadBytes(outputPath);
  finished.output.assign(bytes.begin(), bytes.end());
  return finished;
}

}  // namespace

TEST_F(Transfers, TheConsoleToolStopsOnASignalAndAtItsTimeLimitLeavingTheFile) {
  std::vector<ArticleRecord> original;
  for (std::uint32_t plu = 1; plu <= 5; ++plu) original.push_back(Article(plu, 0));
  const std::string path = MakeDatabase("shop.db", original);
  const auto before = ReadBytes(path);
  const std::string log = dir.File("output.txt");
  const std::vector<std::string> download{"--register", "demo", "--yes", "download", path};

  for (const int signalNumber : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signalNumber);
    const Finished run = RunConsoleTool(download, signalNumber, std::chrono::milliseconds(1500), log);
    EXPECT_EQ(run.status, 128 + signalNumber) << run.output;
    EXPECT_LT(run.afterSignal, std::chrono::milliseconds(1000)) << "stops after the exchange in progress";
    EXPECT_NE(run.output.find("Download cancelled: " + path + " was left as it was"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(signalNumber == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), before);
  }

  std::vector<std::string> limited{"--timeout", "1"};
  limited.insert(limited.end(), download.begin(), download.end());
  const Finished run = RunConsoleTool(limited, 0, std::chrono::milliseconds(0), log);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("download did not finish within 1 seconds and was stopped"), std::string::npos)
      << run.output;
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 2u) << "shop.db and the output, nothing left over";
}

TEST_F(Transfers, ARegisterPluggedInLaterTellsItsLimitsBeforeTheFirstTransfer) {
  DemoRegister::Profile another;
  another.departmentCount = 12;
  StartRegister(DemoRegister::Contents::Sample, another);
  window.OnInitDialog(false);
  window.OnRegisterChanged(true);
  const std::string path = MakeDatabase("shop.db", {Article(5, 0)});
  op.QueueFile(path);
  window.OnOpenDatabase();
  op.QueueAnswer(Answer::Ok);
  window.OnUpload();
  EXPECT_EQ(window.UploadFailed(), 0);
  EXPECT_EQ(profile.departmentCount, 12u);  // the register's own, read before the upload
}
