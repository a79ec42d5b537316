#include "workspace/common-qt/GuiThreadOperator.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace {

bool OnGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

template <typename Call>
auto OnGui(Call call) -> decltype(call()) {
  if (OnGuiThread()) return call();
  decltype(call()) result{};
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { result = call(); }, Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace

Answer GuiThreadOperator::Ask(const std::string& text, const std::string& title, MessageButtons buttons,
                              MessageIcon icon) {
  return OnGui([&] { return inner_.Ask(text, title, buttons, icon); });
}

std::optional<std::string> GuiThreadOperator::ChooseFile(const FileChoice& choice) {
  return OnGui([&] { return inner_.ChooseFile(choice); });
}

void GuiThreadOperator::BeginWait() {
  if (OnGuiThread()) inner_.BeginWait();
}

void GuiThreadOperator::EndWait() {
  if (OnGuiThread()) inner_.EndWait();
}
