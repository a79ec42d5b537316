#include "workspace/common-qt/QtConverterLauncher.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

namespace {
// How often the wait looks at the stop request.
constexpr int kStopPollMs = 50;
}  // namespace

ConverterRun QtConverterLauncher::Run(const std::string& program, const std::vector<std::string>& arguments,
                                      const std::string& workingDirectory, const TransferControl& control) {
  QProcess process;
  QStringList list;
  for (const auto& argument : arguments) list << QString::fromStdString(argument);
  process.setProgram(QString::fromStdString(program));
  // The first argument is the converter's own name slot; QProcess passes the
  // program path as argv[0] by itself, so the list goes after it unchanged.
  process.setArguments(list.mid(1));
  process.setWorkingDirectory(QString::fromStdString(workingDirectory));
  process.setStandardInputFile(QProcess::nullDevice());
  process.start();
  ConverterRun run;
  if (!process.waitForStarted(-1)) return run;
  run.started = true;
  const QDeadlineTimer deadline(timeLimit_.count());
  while (!process.waitForFinished(kStopPollMs)) {
    if (process.state() == QProcess::NotRunning) break;
    run.stopped = control.StopRequested();
    run.timedOut = !run.stopped && deadline.hasExpired();
    if (run.stopped || run.timedOut) {
      process.kill();
      process.waitForFinished(-1);
      run.exitStatus = -1;
      return run;
    }
  }
  run.errorOutput = process.readAllStandardError().toStdString();
  if (process.exitStatus() == QProcess::CrashExit) {
    run.exitStatus = -1;
    if (run.errorOutput.empty()) run.errorOutput = "The converter stopped unexpectedly.";
  } else {
    run.exitStatus = process.exitCode();
  }
  return run;
}
