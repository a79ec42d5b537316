// The communication settings window: port and baud rate boxes over
// ConfigurationsLogic. The program keeps one for the whole run, so the boxes
// come back with the values last confirmed with OK.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "workspace/settings/ConfigurationsLogic.h"

namespace Ui {
class Configurations;
}

class QComboBox;

class CConfigurations : public QDialog {
  Q_OBJECT

 public:
  // machinePorts: the serial ports offered besides "NC" and COM1 to COM4.
  CConfigurations(SerialPortFunctions serial, Operator& op, std::vector<std::string> machinePorts,
                  QWidget* parent = nullptr);
  ~CConfigurations() override;

  ConfigurationsLogic& Logic() { return logic_; }

  // Opens the window modally; Accepted after OK whatever the test showed.
  int DoModal();
  // The opening steps without the modal loop.
  void Prepare();

  QComboBox* PortBox() const;
  QComboBox* BaudBox() const;

 public slots:
  void accept() override;

 private:
  static void ShowInBox(QComboBox* box, const std::vector<std::string>& entries, const std::string& text);

  std::unique_ptr<Ui::Configurations> ui_;
  ConfigurationsLogic logic_;
  std::vector<std::string> portEntries_;
};
