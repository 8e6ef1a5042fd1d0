// The lab server as a program, driven by the curl tool as a browser-made form would be: curl
// picks its own boundary, so the server must not rely on the program's fixed one.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TestEnv.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct TProcess {
  pid_t Pid{-1};
  int Out{-1};  // read end of its standard output
};

TProcess Spawn(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  TProcess p;
  if (posix_spawnp(&p.Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) p.Pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  p.Out = pipeFds[0];
  return p;
}

std::string ReadLine(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

std::string ReadAll(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  return out;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs curl and answers what it printed.
std::string Curl(std::vector<std::string> args) {
  args.insert(args.begin(), {"curl", "--silent", "--show-error", "--max-time", "120", "--noproxy", "*"});
  TProcess p = Spawn(args);
  EXPECT_GT(p.Pid, 0) << "curl could not be started";
  if (p.Pid <= 0) return {};
  std::string out = ReadAll(p.Out);
  close(p.Out);
  EXPECT_EQ(Wait(p.Pid), 0) << "curl failed";
  return out;
}

class LabServerProgram : public ::testing::Test {
protected:
  void SetUp() override {
    Orders = testsupport::MakeTempDir("orders");
    Server = Spawn({LABSERVER_PROGRAM, "--price-list", PHOTO_ORDER_ASSETS "/params3.cfg",
                    "--orders", Orders.string(), "--port", "0", "--with-parent"});
    ASSERT_GT(Server.Pid, 0);
    Port = ReadLine(Server.Out);
    ASSERT_FALSE(Port.empty()) << "the server printed no port";
    Base = "http://127.0.0.1:" + Port;
  }

  void TearDown() override {
    if (Server.Pid > 0) {
      kill(Server.Pid, SIGTERM);
      EXPECT_EQ(Wait(Server.Pid), 0);
      close(Server.Out);
    }
  }

  std::string Upload(const std::vector<std::string>& fields) {
    std::vector<std::string> args;
    for (const auto& f : fields) {
      args.push_back("-F");
      args.push_back(f);
    }
    args.push_back(Base + "/upload3.php");
    return Curl(args);
  }

  fs::path Orders;
  TProcess Server;
  std::string Port;
  std::string Base;
};

TEST_F(LabServerProgram, ServesTheSamplePriceListPointingAtItself) {
  std::string list = Curl({Base + "/UserFiles/Image/params3.cfg"});
  std::string file = testsupport::ReadFileBytes(PHOTO_ORDER_ASSETS "/params3.cfg");
  EXPECT_NE(list.find("\r\nUploadScript=" + Base + "/upload3.php\r\n"), std::string::npos);
  EXPECT_NE(list.find("\r\nDownloadURL=" + Base + "/UserFiles/Image/Selvana.exe\r\n"),
            std::string::npos);
  EXPECT_EQ(list.find("{{LAB}}"), std::string::npos);
  // Nothing else changed: the Windows-1251 captions arrive byte for byte.
  EXPECT_EQ(list.size(), file.size() + 2 * (Base.size() - 7));
  EXPECT_NE(list.find("Size1.Caption=10\xF5" "15 \xF1\xEC\r\n"), std::string::npos);
}

TEST_F(LabServerProgram, OrderSentWithCurlIsCommittedAndARolledBackOneLeavesNothing) {
  const std::string trans = "00112233445566778899AABBCCDDEEFF";
  std::string start = Upload({"order_number=dummy", "transaction=" + trans, "action=start"});
  ASSERT_EQ(start.rfind("order_number=", 0), 0u) << start;
  const std::string n = start.substr(13, start.find('\r') - 13);
  EXPECT_EQ(start, "order_number=" + n + "\r\norder_digits=6");

  const fs::path jpeg = testsupport::MakeTempDir("photo") / "photo.jpg";
  testsupport::WriteFileBytes(jpeg, std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11));
  EXPECT_EQ(Upload({"order_number=" + n, "paper_type=matte", "paper_size=10\xF5" "15 \xF1\xEC",
                    "photo_index=1", "photo_count=3",
                    "photo=@" + jpeg.string() + ";type=image/jpeg;filename=01.jpg"}),
            "OK");
  EXPECT_EQ(Upload({"order_number=" + n, "text=Имя: Анна"}), "OK");
  EXPECT_EQ(Upload({"order_number=" + n, "transaction=" + trans, "action=commit"}), "OK");

  const fs::path folder = Orders / std::string(6 - n.size(), '0').append(n);
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "matte_10х15 см_1_x3.jpg"),
            std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11));
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "order.txt"), "Имя: Анна");

  std::string second = Upload({"order_number=dummy", "transaction=" + trans, "action=start"});
  ASSERT_EQ(second.rfind("order_number=", 0), 0u) << second;
  const std::string m = second.substr(13, second.find('\r') - 13);
  EXPECT_NE(m, n);
  EXPECT_EQ(Upload({"order_number=" + m, "paper_type=glossy", "paper_size=9x13", "photo_index=1",
                    "photo_count=1", "photo=@" + jpeg.string()}),
            "OK");
  EXPECT_EQ(Upload({"order_number=" + m, "transaction=" + trans, "action=rollback"}), "OK");

  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(Orders)) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{folder.filename().string()});
}

TEST(LabServerAlone, KeepsServingWhenStartedDetached) {
  // Started in the background by a shell that then ends, as one starts a server by hand.
  const fs::path dir = testsupport::MakeTempDir("detached");
  const std::string script = "\"$0\" --price-list \"$1\" --orders \"$2\" --port 0 >\"$3\" 2>/dev/null & echo $!";
  TProcess shell = Spawn({"sh", "-c", script, LABSERVER_PROGRAM, PHOTO_ORDER_ASSETS "/params3.cfg",
                          (dir / "orders").string(), (dir / "port").string()});
  ASSERT_GT(shell.Pid, 0);
  const pid_t server = std::stoi(ReadLine(shell.Out));
  close(shell.Out);
  EXPECT_EQ(Wait(shell.Pid), 0);
  std::string port;
  for (int i = 0; i < 2000 && port.empty(); ++i) {
    std::string text = fs::exists(dir / "port") ? testsupport::ReadFileBytes(dir / "port") : std::string();
    if (text.find('\n') != std::string::npos) port = text.substr(0, text.find('\n'));
    else usleep(10000);
  }
  ASSERT_FALSE(port.empty()) << "the server printed no port";
  // Its parent is gone; it still answers.
  const std::string list = Curl({"http://127.0.0.1:" + port + "/UserFiles/Image/params3.cfg"});
  EXPECT_NE(list.find("UploadScript=http://127.0.0.1:" + port + "/upload3.php"), std::string::npos);
  EXPECT_EQ(kill(server, SIGTERM), 0);
  // It is no child of ours: wait for it to go.
  for (int i = 0; i < 2000 && kill(server, 0) == 0; ++i) usleep(10000);
  EXPECT_NE(kill(server, 0), 0) << "the server did not end on SIGTERM";
}

}  // namespace
