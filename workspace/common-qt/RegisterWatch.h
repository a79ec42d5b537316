// Tells an open window when the register comes or goes: it looks at the
// application's attached flag on the window's own thread, a few times a second.
#pragma once

#include <functional>

#include <QObject>
#include <QTimer>

class RegisterWatch : public QObject {
  Q_OBJECT

 public:
  // attached is read on the GUI thread; changed is called only when the answer changes.
  RegisterWatch(std::function<bool()> attached, std::function<void(bool)> changed, bool now, int intervalMs,
                QObject* parent);

 private:
  std::function<bool()> attached_;
  std::function<void(bool)> changed_;
  bool last_;
  QTimer timer_;
};
