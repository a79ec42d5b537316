// articles-cli: the transfers of the articles window without windows, for a
// nightly report download from cron or a technician on a headless machine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/DemoRegisterServer.h"
#include "device/DeviceTiming.h"
#include "device/RegisterConnection.h"

class ConsoleOperator;
class TaskRunner;
class cDeviceProtocol;
class RegisterTransfers;
struct DeviceProfile;

class ArticlesCli {
 public:
  struct Streams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool interactive = false;   // questions may be answered at the terminal
    bool progressLine = false;  // err is a terminal: progress rewrites one line
  };

  // Exit statuses.
  static constexpr int kOk = 0;
  static constexpr int kFailed = 1;  // not everything asked for was transferred
  static constexpr int kUsage = 2;

  explicit ArticlesCli(Streams streams, DeviceTiming timing = {}, unsigned connectWaitMs = 2000)
      : streams_(streams), timing_(timing), connectWaitMs_(connectWaitMs) {}

  // args without the program name.
  int Run(const std::vector<std::string>& args);

  // Called before every register request with its number, from 1 (the parameter
  // read); tests disturb the demo register through it.
  using RequestHook = std::function<void(RegisterConnection& connection, int request)>;
  void SetRequestHook(RequestHook hook) { requestHook_ = std::move(hook); }

  // SIGINT or SIGTERM arrived (any thread but a signal handler's): the transfer
  // stops after the exchange in progress and Run returns 128 + signal. A second
  // signal also ends the exchange in progress.
  void Stop(int signalNumber);

 private:
  // What the command line asks for.
  struct Invocation {
    RegisterChoice choice;
    std::string trace;  // --trace FILE: the register link's events go there
    bool assumeYes = false;
    std::string command;  // params, download, upload, report or show
    std::string file;
    bool articlesOnly = false;
    bool departmentsOnly = false;
    unsigned timeoutSeconds = 0;                // --timeout: 0 for none
    std::optional<ListenAddress> listen;        // serve-demo --listen
    std::optional<std::uint32_t> demoArticles;  // serve-demo --articles N
  };

  // nullopt with the exit status in status when the run ends here (--help, a mistake).
  std::optional<Invocation> Parse(const std::vector<std::string>& args, int* status);
  int Usage(const std::string& problem);
  // Starts the connection and waits for the register to announce itself; says why not.
  bool Connect(RegisterConnection& connection, const RegisterChoice& choice);
  int RunCommand(const Invocation& call);
  // Ends the exchange under way and every later one (the time limit, a second signal).
  void InterruptEngine();
  void Watch(unsigned seconds);

  // One function a command; each returns the exit status.
  int Show(const Invocation& call, const DeviceProfile& profile);
  // Until SIGINT or SIGTERM.
  int ServeDemo(const Invocation& call);
  int PrintParameters(const DeviceProfile& profile);
  int Report(const Invocation& call, ConsoleOperator& op, DeviceProfile& profile, RegisterTransfers& transfers,
             TaskRunner& runner);
  int Download(const Invocation& call, ConsoleOperator& op, DeviceProfile& profile, RegisterTransfers& transfers,
               TaskRunner& runner);
  int Upload(const Invocation& call, ConsoleOperator& op, DeviceProfile& profile, RegisterTransfers& transfers,
             TaskRunner& runner);

  Streams streams_;
  DeviceTiming timing_;
  RequestHook requestHook_;
  unsigned connectWaitMs_;

  std::atomic<bool> stop_{false};
  std::atomic<int> signal_{0};
  std::atomic<bool> timedOut_{false};
  std::mutex stopMutex_;                       // what a stop from another thread reaches: the engine and the operator
  cDeviceProtocol* engine_ = nullptr;          // while a connection runs
  const ConsoleOperator* operator_ = nullptr;  // while a command runs
  std::mutex doneMutex_;
  std::condition_variable doneChanged_;
  bool done_ = false;
};
