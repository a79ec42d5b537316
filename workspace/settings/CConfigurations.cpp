#include "workspace/settings/CConfigurations.h"

#include <QPushButton>

#include "workspace/common/UiText.h"
#include "ui_Configurations.h"

namespace {

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

}  // namespace

CConfigurations::CConfigurations(SerialPortFunctions serial, Operator& op, std::vector<std::string> machinePorts,
                                 QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Configurations>()),
      logic_(std::move(serial), op),
      portEntries_(ConfigurationsLogic::PortEntries(machinePorts)) {
  ui_->setupUi(this);
  for (const auto& entry : portEntries_) ui_->comboPort->addItem(QString::fromStdString(entry));
  for (const auto& entry : ConfigurationsLogic::BaudEntries())
    ui_->comboBaudRate->addItem(QString::fromStdString(entry));
  connect(ui_->buttonOk, &QPushButton::clicked, this, &CConfigurations::accept);
  connect(ui_->buttonCancel, &QPushButton::clicked, this, &CConfigurations::reject);
}

CConfigurations::~CConfigurations() = default;

QComboBox* CConfigurations::PortBox() const { return ui_->comboPort; }
QComboBox* CConfigurations::BaudBox() const { return ui_->comboBaudRate; }

int CConfigurations::DoModal() {
  Prepare();
  return exec();
}

void CConfigurations::Prepare() {
  ui_->groupPort->setTitle(Text("DLG_CONFIGURATIONS_BARCODE"));
  ui_->labelPort->setText(Text("DLG_CONFIGURATIONS_PORT1"));
  ui_->labelBaudRate->setText(Text("DLG_CONFIGURATIONS_BAUDRATE1"));
  ui_->buttonOk->setText(Text("DLG_OK"));
  ui_->buttonCancel->setText(Text("DLG_CANCEL"));
  ShowInBox(ui_->comboPort, portEntries_, logic_.PortText());
  ShowInBox(ui_->comboBaudRate, ConfigurationsLogic::BaudEntries(), logic_.BaudText());
}

void CConfigurations::ShowInBox(QComboBox* box, const std::vector<std::string>& entries, const std::string& text) {
  const ComboShowing showing = ConfigurationsLogic::Show(entries, text);
  box->setCurrentIndex(showing.selected);
  box->setEditText(QString::fromStdString(showing.editText));
}

void CConfigurations::accept() {
  logic_.Ok(ui_->comboPort->currentText().toStdString(), ui_->comboBaudRate->currentText().toStdString());
  QDialog::accept();
}
