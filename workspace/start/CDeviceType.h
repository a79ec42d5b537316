// The start window: the register picture, the (hidden) device selection that
// sets the device profile, and the buttons that open the articles workspace,
// the reports and the communication settings. What the buttons open is handed
// in by the application; a button without an action is shown disabled.
#pragma once

#include <functional>
#include <memory>

#include <QDialog>

#include "workspace/start/DeviceTypeLogic.h"

namespace Ui {
class DeviceType;
}

class QLabel;
class QPushButton;

struct DeviceTypeActions {
  std::function<void()> goods;
  std::function<void()> reports;
  std::function<void()> configuration;
};

class CDeviceType : public QDialog {
  Q_OBJECT

 public:
  CDeviceType(DeviceProfile& profile, DeviceTypeActions actions, QWidget* parent = nullptr);
  ~CDeviceType() override;

  DeviceTypeLogic& Logic() { return logic_; }

  // Opens the window modally; returns when Exit was pressed or it was closed.
  int DoModal();
  // The opening steps without the modal loop.
  void Prepare();

  QPushButton* GoodsButton() const;
  QPushButton* ReportsButton() const;
  QPushButton* ConfigurationButton() const;
  QPushButton* ExitButton() const;
  QLabel* Picture() const;

 private:
  void DeviceSelected();
  void ShowOwnValues();

  std::unique_ptr<Ui::DeviceType> ui_;
  DeviceTypeLogic logic_;
  DeviceTypeActions actions_;
};
