#include "workspace/start/CDeviceType.h"

#include <QComboBox>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>

#include "ArticlesVersion.h"
#include "workspace/common/UiText.h"
#include "workspace/common-qt/WorkspaceResources.h"
#include "ui_DeviceType.h"

namespace {

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

}  // namespace

CDeviceType::CDeviceType(DeviceProfile& profile, DeviceTypeActions actions, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DeviceType>()), logic_(profile), actions_(std::move(actions)) {
  InitWorkspaceResources();
  ui_->setupUi(this);
  ui_->labelVersion->setText(QStringLiteral("Ver " ARTICLES_VERSION));
  setWindowIcon(ProgramIcon());
  const auto wire = [this](QPushButton* button, const std::function<void()>& action) {
    button->setEnabled(static_cast<bool>(action));
    connect(button, &QPushButton::clicked, this, [this, &action] {
      if (action) action();
    });
  };
  wire(ui_->buttonGoods, actions_.goods);
  wire(ui_->buttonReports, actions_.reports);
  connect(ui_->buttonConfiguration, &QPushButton::clicked, this, [this] {
    if (actions_.configuration) actions_.configuration();
    ShowOwnValues();
  });
  ui_->buttonConfiguration->setEnabled(static_cast<bool>(actions_.configuration));
  connect(ui_->buttonExit, &QPushButton::clicked, this, &CDeviceType::reject);
  connect(ui_->comboDevice, &QComboBox::currentIndexChanged, this, [this] { DeviceSelected(); });
}

CDeviceType::~CDeviceType() = default;

QPushButton* CDeviceType::GoodsButton() const { return ui_->buttonGoods; }
QPushButton* CDeviceType::ReportsButton() const { return ui_->buttonReports; }
QPushButton* CDeviceType::ConfigurationButton() const { return ui_->buttonConfiguration; }
QPushButton* CDeviceType::ExitButton() const { return ui_->buttonExit; }
QLabel* CDeviceType::Picture() const { return ui_->labelPicture; }

int CDeviceType::DoModal() {
  Prepare();
  return exec();
}

void CDeviceType::Prepare() {
  ui_->labelDevice->setText(Text("DLG_DEVICETYPE_SELDEVICE"));
  ui_->buttonGoods->setText(Text("DLG_DEVICETYPE_ARTICLES"));
  ui_->buttonReports->setText(Text("DLG_DEVICETYPE_REPORTS"));
  ui_->buttonConfiguration->setText(Text("DLG_DEVICETYPE_CONFIGURATIONS"));
  ui_->buttonExit->setText(Text("DLG_DEVICETYPE_IDCANCEL"));
  {
    const QSignalBlocker blocker(ui_->comboDevice);
    ui_->comboDevice->clear();
    for (const auto& entry : logic_.DeviceEntries()) ui_->comboDevice->addItem(QString::fromStdString(entry));
    ui_->comboDevice->setCurrentIndex(0);
  }
  DeviceSelected();
}

void CDeviceType::DeviceSelected() {
  logic_.Select(ui_->comboDevice->currentIndex());
  ui_->labelPicture->setPixmap(QPixmap(QString::fromLatin1(DeviceTypeLogic::kRegisterPicture)));
}

void CDeviceType::ShowOwnValues() {
  const QSignalBlocker blocker(ui_->comboDevice);
  ui_->comboDevice->setCurrentIndex(logic_.SelectedDevice());
}
