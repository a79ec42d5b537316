#include "workspace/app/CARTICLESApp.h"

#include <filesystem>

#include "workspace/articles/CARTICLESDlg.h"
#include "workspace/settings/CConfigurations.h"
#include "workspace/start/CDeviceType.h"
#include "reports/CReports.h"
#include "workspace/common-qt/QtConverterLauncher.h"
#include "workspace/common/WorkbookExchange.h"
#include "workspace/common-qt/QtOperator.h"
#include "device/RegisterTransfers.h"
#include "device/SerialPort.h"
#include "workspace/settings/SerialPortList.h"

CARTICLESApp::CARTICLESApp(ArticlesAppSettings settings, Operator* op) : settings_(std::move(settings)), operator_(op) {
  if (!operator_) {
    ownOperator_ = std::make_unique<QtOperator>();
    operator_ = ownOperator_.get();
  }
  connection_ = std::make_unique<RegisterConnection>(settings_.registerChoice, settings_.timing);
  transfers_ = std::make_unique<RegisterTransfers>(connection_->Transaction(), profile_);
  transfers_->SetAddress(settings_.registerChoice.Address());
  configurations_ = std::make_unique<CConfigurations>(
      SerialPortFunctions{[](const std::string& port, std::uint32_t drainMs, std::uint32_t baud) {
                            return SerialOpen(port, drainMs, baud);
                          },
                          [] { return SerialClose(); }},
      *operator_, SerialPortList::Find());
  launcher_ = std::make_unique<QtConverterLauncher>();
  reportsAction = [this] { OpenReports(); };
  workbookHooks.exportXls = [this](ArticlesWindowLogic& window) {
    window.SetWorkbookExchange(workbooks_.get());
    window.OnExportXls();
  };
  workbookHooks.importXls = [this](ArticlesWindowLogic& window) {
    window.SetWorkbookExchange(workbooks_.get());
    window.OnImportXls();
  };
}

CARTICLESApp::~CARTICLESApp() {
  ShutDown();
  // The port a connection test opened stays open until the program ends.
  SerialClose();
}

Operator& CARTICLESApp::Op() { return *operator_; }

void CARTICLESApp::StartUp() {
  if (!SelectConfiguredCodePage()) {
    Op().Tell("The code page \"" + ConfiguredCodePage() +
                  "\" named by CODE_PAGE in ARTICLESRW.CONF is not a single-byte code page this system knows; "
                  "names are shown as Windows-1252.",
              MessageIcon::Warning);
  }
  names_.Load();
  std::error_code ec;
  startDirectory_ = std::filesystem::current_path(ec).string();
  // The converter ships beside this program; a copy in the start directory is
  // the fallback.
  std::vector<std::string> converterFolders;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) converterFolders.push_back(self.parent_path().string());
  converterFolders.push_back(startDirectory_);
  workbooks_ = std::make_unique<WorkbookExchange>(*launcher_, startDirectory_, converterFolders);
  connection_->Start();
  monitor_ = std::make_unique<DeviceMonitorThread>([this] { return connection_->IsConnected(); }, deviceConnected_,
                                                   settings_.monitorPeriod);
  monitor_->Start();
  if (const std::string diagnostic = connection_->Diagnostic(); !diagnostic.empty()) {
    Op().Tell(diagnostic, MessageIcon::Warning);
  }
}

void CARTICLESApp::ShutDown() {
  if (monitor_) monitor_->Stop();
  monitor_.reset();
  // The transfers call into the connection; they go first.
  transfers_.reset();
  // Stops the engine, then closes the transport.
  connection_.reset();
}

int CARTICLESApp::InitInstance() {
  StartUp();
  {
    CDeviceType start(profile_, {[this] { OpenGoods(); }, reportsAction, [this] { OpenConfiguration(); }});
    start.DoModal();
  }
  ShutDown();
  return 0;
}

void CARTICLESApp::OpenReports() {
  CReports window(Op(), profile_, transfers_.get(), workbooks_.get(), DeviceConnected());
  window.FollowRegister([this] { return DeviceConnected(); });
  window.DoModal();
}

void CARTICLESApp::OpenGoods() {
  ++goodsOpened_;
  ArticlesWindowParts parts;
  if (!ownOperator_) parts.op = operator_;
  CARTICLESDlg window(profile_, names_, transfers_.get(), DeviceConnected(), nullptr, parts);
  window.SetWorkbookHooks(workbookHooks);
  window.SetStartDatabase(settings_.startDatabase);
  window.FollowRegister([this] { return DeviceConnected(); });
  window.DoModal();
}

void CARTICLESApp::OpenConfiguration() { configurations_->DoModal(); }
