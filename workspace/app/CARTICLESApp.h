// The application object: owns the register connection and its transfers, the
// device profile, the group names, the one settings window and the device
// monitor, runs start-up, shows the start window and shuts everything down in
// order (monitor, then engine, then transport).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/Config.h"
#include "workspace/app/DeviceMonitorThread.h"
#include "data/DeviceProfile.h"
#include "device/RegisterConnection.h"
#include "workspace/articles/WorkbookHooks.h"

class CConfigurations;
class ConverterLauncher;
class WorkbookExchange;
class CDeviceType;
class Operator;
class QtOperator;
class RegisterTransfers;

struct ArticlesAppSettings {
  RegisterChoice registerChoice;
  DeviceTiming timing;
  std::chrono::milliseconds monitorPeriod = DeviceMonitorThread::kDefaultPeriod;
  std::string startDatabase;  // opened by every articles window as it opens
};

class CARTICLESApp {
 public:
  // op: where messages go; null for message boxes on screen.
  explicit CARTICLESApp(ArticlesAppSettings settings, Operator* op = nullptr);
  ~CARTICLESApp();
  CARTICLESApp(const CARTICLESApp&) = delete;
  CARTICLESApp& operator=(const CARTICLESApp&) = delete;

  // Start-up, the start window until Exit, shutdown; the program's exit code.
  int InitInstance();

  // The start-up steps before the start window: code page, group names, start
  // directory, engine, monitor, and the connection's diagnostic if it has one.
  void StartUp();
  // Stops the monitor, then the engine, then closes the transport. Idempotent.
  void ShutDown();

  // What the start window's buttons do.
  void OpenGoods();
  void OpenConfiguration();

  bool DeviceConnected() const { return deviceConnected_.load() != 0; }
  const std::string& StartDirectory() const { return startDirectory_; }
  DeviceProfile& Profile() { return profile_; }
  const GroupNames& Names() const { return names_; }
  RegisterConnection* Connection() { return connection_.get(); }
  RegisterTransfers* Transfers() { return transfers_.get(); }
  DeviceMonitorThread* Monitor() { return monitor_.get(); }
  CConfigurations& Configurations() { return *configurations_; }
  // How many articles windows have been opened so far.
  int GoodsOpened() const { return goodsOpened_; }

  void OpenReports();
  // Export and import through the converter; ready after StartUp.
  WorkbookExchange* Workbooks() { return workbooks_.get(); }

  // What the Reports button and the workbook buttons do; set to the reports
  // window and the workbook exchange at construction.
  std::function<void()> reportsAction;
  WorkbookHooks workbookHooks;

 private:
  Operator& Op();

  ArticlesAppSettings settings_;
  std::unique_ptr<QtOperator> ownOperator_;
  Operator* operator_;
  std::atomic<std::int32_t> deviceConnected_{0};
  std::string startDirectory_;
  DeviceProfile profile_;
  GroupNames names_;
  std::unique_ptr<RegisterConnection> connection_;
  std::unique_ptr<RegisterTransfers> transfers_;
  std::unique_ptr<DeviceMonitorThread> monitor_;
  std::unique_ptr<CConfigurations> configurations_;
  std::unique_ptr<ConverterLauncher> launcher_;
  std::unique_ptr<WorkbookExchange> workbooks_;
  int goodsOpened_ = 0;
};
