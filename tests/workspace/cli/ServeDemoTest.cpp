// articles-cli serve-demo: its command line, and the real program serving the
// demo register until a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "device/RegisterFrame.h"
#include "device/transport/DemoRegister.h"
#include "tests/device/FastTiming.h"
#include "tests/device/SocketClient.h"
#include "workspace/cli/ArticlesCli.h"

namespace {

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
  return text;
}

TEST(ServeDemo, RefusesWhatItCannotServe) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--listen", "127.0.0.1", "serve-demo"}, "--listen 127.0.0.1: the port is missing; expected HOST:PORT"},
      {{"--listen=::1:4001", "serve-demo"}, "--listen ::1:4001: an IPv6 address goes between [ ]"},
      {{"serve-demo", "--listen"}, "--listen needs HOST:PORT"},
      {{"--listen", "127.0.0.1:0", "params"}, "--listen and --articles N belong to serve-demo"},
      {{"download", "shop.db", "--articles", "5"}, "--listen and --articles N belong to serve-demo"},
      {{"serve-demo", "--articles=100000"}, "--articles N needs a number of articles from 0 to 99999"},
      {{"serve-demo", "--articles=x"}, "--articles N needs a number of articles from 0 to 99999"},
      {{"serve-demo", "extra"}, "serve-demo takes no file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ArticlesCli cli({stdin, out, err, false}, FastTiming(), 200);
    EXPECT_EQ(cli.Run(c.args), ArticlesCli::kUsage);
    const std::string text = Contents(err);
    EXPECT_EQ(text.rfind(std::string("articles-cli: ") + c.message, 0), 0u) << text;
    EXPECT_TRUE(Contents(out).empty());
    std::fclose(out);
    std::fclose(err);
  }
}

TEST(ServeDemo, TheProgramServesUntilSigterm) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  std::string program = std::string(ARTICLES_BIN_DIR) + "/articles-cli";
  std::vector<std::string> args{program, "--listen", "127.0.0.1:0", "serve-demo", "--articles", "7"};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  // The first line names the port; the wait is a bound for a broken program.
  std::string line;
  char c = 0;
  pollfd entry{pipeEnds[0], POLLIN, 0};
  while (::poll(&entry, 1, 5000) > 0 && ::read(pipeEnds[0], &c, 1) == 1 && c != '\n') line += c;
  const std::string prefix = "demo register listening on 127.0.0.1:";
  ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
  const unsigned long port = std::stoul(line.substr(prefix.size()));
  ASSERT_GT(port, 0u);
  ASSERT_LT(port, 65536u);

  {
    SocketClient client("127.0.0.1", static_cast<std::uint16_t>(port));
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.SendRequest(0x21, DemoRegister::kCommandParameters));
    const auto reply = client.ReadReply();
    ASSERT_GT(reply.size(), RegisterFrame::kReplyOverhead);
    // SOH, LEN, the request's sequence and command, ..., ETX.
    EXPECT_EQ(reply.front(), RegisterFrame::kSOH);
    EXPECT_EQ(reply[1], RegisterFrame::kReplyLenBase + reply.size() - RegisterFrame::kReplyOverhead);
    EXPECT_EQ(reply[2], 0x21);
    EXPECT_EQ(reply[3], DemoRegister::kCommandParameters);
    EXPECT_EQ(reply.back(), RegisterFrame::kETX);
  }
  {
    // The console's own network transport reaches it as a register on the network.
    const std::string command = program + " --register tcp:127.0.0.1:" + std::to_string(port) + " params 2>&1";
    std::FILE* answer = ::popen(command.c_str(), "r");
    ASSERT_NE(answer, nullptr);
    std::string said;
    char buffer[256];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, answer)) said.append(buffer, n);
    EXPECT_EQ(::pclose(answer), 0) << said;
    EXPECT_NE(said.find("departments: 8"), std::string::npos) << said;
  }
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(pipeEnds[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 143);
}

}  // namespace
