#include "workspace/common-qt/QtOperator.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "workspace/common-qt/WindowSettings.h"

namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtOperator::QtOperator(QWidget* parent) : parent_(parent) {}

QWidget* QtOperator::Parent() const {
  if (parent_) return parent_;
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

Answer QtOperator::Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) {
  QMessageBox box(Parent());
  box.setIcon(IconOf(icon));
  box.setWindowTitle(title.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(title));
  box.setText(QString::fromStdString(text));
  switch (buttons) {
    case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case MessageButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
  }
  // The person must see the question even while a long job shows the wait cursor.
  const bool waiting = waitDepth_ > 0;
  if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int pressed = box.exec();
  if (waiting) QApplication::restoreOverrideCursor();
  switch (pressed) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: break;
  }
  // A box closed by its window button counts as the refusing answer.
  if (buttons == MessageButtons::OkCancel && pressed != QMessageBox::Ok) return Answer::Cancel;
  if (buttons == MessageButtons::YesNo) return Answer::No;
  return Answer::Ok;
}

QStringList QtOperator::NameFilters(const FileChoice& choice) {
  QStringList filters;
  for (const auto& [label, pattern] : choice.filters) {
    filters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(label), QString::fromStdString(pattern));
  }
  return filters;
}

std::optional<std::string> QtOperator::ChooseFile(const FileChoice& choice) {
  QFileDialog dialog(Parent(), QString::fromStdString(choice.title));
  const bool save = choice.kind == FileChoice::Kind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save || !choice.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFilters(choice));
  if (!choice.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(choice.defaultExtension));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !choice.confirmOverwrite);
  // The dialog starts where the operator was last, on the file of this kind chosen last.
  const auto settings = window_settings::Open();
  const QString fileKey = QStringLiteral("files/") + QString::fromStdString(choice.remember);
  const QString lastFile = choice.remember.empty() ? QString() : settings->value(fileKey).toString();
  const QString lastFolder = settings->value(QStringLiteral("files/lastFolder")).toString();
  if (!lastFile.isEmpty() && QFileInfo(lastFile).dir().exists()) {
    dialog.setDirectory(QFileInfo(lastFile).absolutePath());
    dialog.selectFile(QFileInfo(lastFile).fileName());
  } else if (!lastFolder.isEmpty() && QDir(lastFolder).exists()) {
    dialog.setDirectory(lastFolder);
  }
  if (!choice.proposedName.empty()) dialog.selectFile(QString::fromStdString(choice.proposedName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().constFirst();
  settings->setValue(QStringLiteral("files/lastFolder"), QFileInfo(chosen).absolutePath());
  if (!choice.remember.empty()) settings->setValue(fileKey, QFileInfo(chosen).absoluteFilePath());
  return chosen.toStdString();
}

void QtOperator::BeginWait() {
  ++waitDepth_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtOperator::EndWait() {
  if (waitDepth_ == 0) return;
  --waitDepth_;
  QApplication::restoreOverrideCursor();
}
