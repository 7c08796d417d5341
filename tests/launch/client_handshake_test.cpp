// The launch sequence against the reference client ZYR_Shell.exe, started for real on real
// pipes. The client writes what it received into ZYR_Shell.received.json beside itself;
// a ZYR_Shell.behaviour file there makes it misbehave.
//
// Wine gives every process an elevated token, so every start here goes through the shell
// token (the elevated branch); the standard branch for a limited launcher needs Windows.
#include "launch/client_handshake.h"

#include <gtest/gtest.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/encoding.h"
#include "launch/aes256cbc.h"
#include "launch/child_processes.h"
#include "launch/hex.h"
#include "launch/launch_key.h"
#include "launch/log_capture.h"
#include "serialization/object_graph.h"

namespace zyr::update {
namespace {

namespace fs = std::filesystem;
using launcher::LauncherConfig;
using launcher::MapConfig;
using testing::LaunchLogCapture;
using testing::ScratchFolder;

std::vector<std::uint8_t> graph_of(LauncherConfig& config) {
  std::vector<std::uint8_t> graph;
  eb::v3::write_object_graph(config, graph);
  return graph;
}

// Opens every child the sequence starts as soon as its id is logged, so that its exit
// code can be read even after the sequence terminated it and closed its own handles.
class ChildWatch {
 public:
  ChildWatch() {
    previous_ = set_launch_log_observer([this](std::string_view line) {
      log_.emplace_back(line);
      constexpr std::string_view prefix = "[Launcher] Child process PID=";
      if (line.starts_with(prefix)) {
        const DWORD id = std::stoul(std::string(line.substr(prefix.size())));
        children_.emplace_back(OpenProcess(
            SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id));
      }
    });
  }
  ~ChildWatch() {
    set_launch_log_observer(std::move(previous_));
    for (auto& child : children_) {
      if (child && WaitForSingleObject(child.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(child.get(), 99);
      }
    }
  }
  ChildWatch(const ChildWatch&) = delete;
  ChildWatch& operator=(const ChildWatch&) = delete;

  HANDLE only_child() {
    EXPECT_EQ(children_.size(), 1u);
    return children_.empty() ? nullptr : children_.front().get();
  }
  // Only read while no sequence runs.
  const std::vector<std::string>& log() const { return log_; }
  bool logged(std::string_view line) const {
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }

 private:
  LaunchLogObserver previous_;
  std::vector<std::string> log_;
  std::vector<ScopedKernelHandle> children_;
};

class ClientHandshake : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine starts its desktop process (explorer.exe, whose token the elevated start takes)
    // on the first use of the desktop, not with the server.
    ASSERT_NE(GetDesktopWindow(), nullptr);
    client_ = testing::copy_program(ZYR_REFERENCE_CLIENT, folder_.path(), L"ZYR_Shell.exe");
    config_ = eb::v3::make_ref<LauncherConfig>();
    client_utf8_ = to_utf8(client_.wstring());
    config_->clientExePath = client_utf8_;
    config_->zyrExeWorkDir = to_utf8(folder_.path().wstring());
    config_->handshakeTimeoutMs = 20000;
    config_->terminateExisting = false;
    config_->serverDomain = "game.example.test:25555";
    config_->serviceDomain = "service.example.test";
    config_->httpsOrigins = {"https://cdn.example.test", "https://bucket.example.test"};
    config_->gameMode = 1;
    auto map = eb::v3::make_ref<MapConfig>(config_.get());
    map->mapName = "\xE5\x9C\xB0\xE5\x9B\xBE";  // UTF-8 travels byte for byte
    map->mapValue = std::string(48, 'v');
    config_->mapConfig = {map, map};
  }

  void behave(const std::string& lines) {
    std::ofstream(folder_.path() / L"ZYR_Shell.behaviour", std::ios::binary) << lines;
  }

  // The client's record, once it has written it.
  // The file can exist a moment before it can be opened (the client moves it into place
  // while this side looks), so the wait lasts until the record reads whole.
  rapidjson::Document received() {
    const fs::path path = folder_.path() / L"ZYR_Shell.received.json";
    rapidjson::Document document;
    std::string text;
    for (int waited = 0; waited < 20000; waited += 20) {
      std::ifstream file(path, std::ios::binary);
      std::ostringstream content;
      content << file.rdbuf();
      text = content.str();
      document.Parse(text.c_str());
      if (document.IsObject()) {
        return document;
      }
      Sleep(20);
    }
    ADD_FAILURE() << "no record from the client: " << text;
    return document;
  }

  std::string failure_of(eb::v3::ref<LauncherConfig> config) {
    try {
      run_launch_sequence(std::move(config));
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "no failure";
  }

  ScratchFolder folder_;
  fs::path client_;
  std::string client_utf8_;
  eb::v3::ref<LauncherConfig> config_;
};

// The client's top-level window, once it shows (up to `timeout_ms`).
HWND window_of(DWORD process_id, int timeout_ms = 10000) {
  struct Search {
    DWORD process_id;
    HWND found;
  } search{process_id, nullptr};
  for (int waited = 0;; waited += 20) {
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
          auto* s = reinterpret_cast<Search*>(parameter);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner == s->process_id && GetWindow(window, GW_OWNER) == nullptr &&
              IsWindowVisible(window)) {
            s->found = window;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || waited >= timeout_ms) {
      break;
    }
    Sleep(20);
  }
  return search.found;
}

// A graph whose length is a multiple of 16 gains a whole block; the client decrypts exactly
// what was sent, sees its input end, and leaves when its window is closed.
TEST_F(ClientHandshake, ClientReceivesTheConfigurationAndClosesOnRequest) {
  for (int i = 0; i < 16 && graph_of(*config_).size() % 16 != 0; ++i) {
    config_->userId.push_back('u');
  }
  const std::vector<std::uint8_t> sent = graph_of(*config_);
  ASSERT_EQ(sent.size() % 16, 0u);

  ChildWatch watch;
  const eb::v3::ref<LauncherConfig> kept = config_;
  ClientProcess child = run_launch_sequence(std::move(config_));
  ASSERT_TRUE(child.process);
  ASSERT_TRUE(child.thread);
  EXPECT_EQ(kept.use_count(), 1) << "the sequence must release its handle";

  const auto record = received();
  EXPECT_STREQ(record["error"].GetString(), "");
  EXPECT_EQ(record["processId"].GetUint(), child.process_id);
  EXPECT_EQ(record["configurationLength"].GetUint(), sent.size() + 16);
  EXPECT_EQ(testing::from_hex(record["objectGraph"].GetString()), sent);
  EXPECT_TRUE(record["endOfInput"].GetBool());
  EXPECT_EQ(record["commandLine"].GetString(), "\"" + client_utf8_ + "\" ZYR_Shell_Main");
  EXPECT_EQ(fs::path(to_utf16(record["workingDirectory"].GetString())), folder_.path());
  EXPECT_STREQ(record["configuration"]["serverDomain"].GetString(), "game.example.test:25555");

  const std::string header = record["header"].GetString();
  const std::string pid = std::to_string(child.process_id);
  const std::vector<std::string> expected_log = {
      "[Launcher] Launch sequence started",
      "[Launcher] Creating anonymous pipes...",
      "[Launcher] Launching child process: " + client_utf8_,
      "[Launcher] Running as administrator, will downgrade privileges",
      "[Launcher] Attempting to get low integrity token",
      watch.log().size() > 5 ? watch.log()[5] : "",  // the shell's process id varies
      "[Launcher] Low integrity token created successfully",
      "[Launcher] Creating process with low integrity level",
      "[Launcher] Child process PID=" + pid,
      "[Launcher] Generated header: " + header,
      "[Launcher] Header sent",
      "[Launcher] Header.enc",
      "[Launcher] Received response from child process",
      "[Launcher] Communication succeeded",
      "[Launcher] Config sent",
      "[Launcher] Launch sequence completed"};
  EXPECT_EQ(watch.log(), expected_log);
  EXPECT_TRUE(watch.log()[5].starts_with("[Launcher] Found process: explorer.exe (PID="));

  const HWND window = window_of(child.process_id);
  ASSERT_NE(window, nullptr) << "the client showed no window";
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(testing::exit_code_after(child.process.get(), 10000), 0u);
}

// Each misbehaving client fails its step and is ended with exit code 1.
TEST_F(ClientHandshake, MisbehavingClientsFailTheirStepAndAreTerminated) {
  const struct {
    const char* behaviour;
    std::uint32_t timeout_ms;
    const char* log_line;
    const char* error;
  } cases[] = {
      {"answer=truncated", 2000, "[Launcher] Failed to receive child process response",
       "Failed to receive response"},
      {"answer=correct\nanswer_delay_ms=5000", 300,
       "[Launcher] Failed to receive child process response", "Failed to receive response"},
      {"answer=none", 300, "[Launcher] Failed to receive child process response",
       "Failed to receive response"},
      {"answer=wrong-iv", 20000, "[Launcher] Communication failed: invalid response",
       "Communication failed: invalid response"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    behave(c.behaviour);
    auto config = eb::v3::make_ref<LauncherConfig>();
    config->clientExePath = config_->clientExePath;
    config->zyrExeWorkDir = config_->zyrExeWorkDir;
    config->handshakeTimeoutMs = c.timeout_ms;
    config->terminateExisting = false;
    ChildWatch watch;
    EXPECT_EQ(failure_of(std::move(config)), c.error);
    EXPECT_TRUE(watch.logged(c.log_line));
    EXPECT_FALSE(watch.logged("[Launcher] Communication succeeded"));
    const HANDLE child = watch.only_child();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(testing::exit_code_after(child, 10000), 1u);
  }
}

TEST_F(ClientHandshake, InvalidUtf8PathFailsBeforeAnyProcessIsMade) {
  config_->clientExePath = "C:\\\xFF\xFE\\ZYR_Shell.exe";
  ChildWatch watch;
  EXPECT_EQ(failure_of(std::move(config_)), "Invalid UTF-8 launch path");
  EXPECT_TRUE(watch.logged("[Launcher] Creating anonymous pipes..."));
  EXPECT_EQ(watch.log().back(), "[Launcher] Creating anonymous pipes...");
}

TEST_F(ClientHandshake, MissingClientReportsTheSystemErrorOfProcessCreation) {
  config_->clientExePath = to_utf8((folder_.path() / L"missing.exe").wstring());
  ChildWatch watch;
  const std::string code = std::to_string(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(failure_of(std::move(config_)), "Failed to create process: " + code);
  EXPECT_EQ(watch.log().back(), "[Launcher] Failed to launch child process: " + code);
}

// A relative path goes into the command line only; process creation finds the client in
// the launcher's current directory.
TEST_F(ClientHandshake, RelativePathStartsTheClientThroughTheCommandLine) {
  const fs::path previous = fs::current_path();
  fs::current_path(folder_.path());
  config_->clientExePath = "ZYR_Shell.exe";
  ChildWatch watch;
  ClientProcess child;
  EXPECT_NO_THROW(child = run_launch_sequence(config_));
  fs::current_path(previous);
  ASSERT_TRUE(child.process);
  const auto record = received();
  EXPECT_STREQ(record["error"].GetString(), "");
  EXPECT_STREQ(record["commandLine"].GetString(), "\"ZYR_Shell.exe\" ZYR_Shell_Main");
  TerminateProcess(child.process.get(), 0);
}

// A second start while one is running is refused and leaves the first undisturbed.
TEST_F(ClientHandshake, SecondCallWhileOneRunsIsRefused) {
  behave("answer_delay_ms=1500");
  LaunchLogCapture log;
  ClientProcess first;
  std::string first_error;
  std::thread running([&] {
    try {
      first = run_launch_sequence(config_);
    } catch (const std::exception& error) {
      first_error = error.what();
    }
  });
  for (int waited = 0; waited < 20000 && !log.contains("[Launcher] Header sent"); waited += 10) {
    Sleep(10);
  }
  auto second = eb::v3::make_ref<LauncherConfig>();
  second->clientExePath = config_->clientExePath;
  EXPECT_EQ(failure_of(second), "Launcher can only be launched once");
  running.join();
  EXPECT_EQ(first_error, "");
  ASSERT_TRUE(first.process);
  EXPECT_EQ(received()["processId"].GetUint(), first.process_id);
  EXPECT_EQ(log.starting_with("[Launcher] Launch sequence started").size(), 1u);
  TerminateProcess(first.process.get(), 0);
  // The flag is cleared once the running call ends.
  behave("");
  ClientProcess again = run_launch_sequence(config_);
  EXPECT_TRUE(again.process);
  TerminateProcess(again.process.get(), 0);
}

// A client asked to relaunch leaves a launch transaction with the configuration it was
// given and exits: checked here byte by byte against the file's layout.
TEST_F(ClientHandshake, RelaunchingClientLeavesASignedEncryptedTransaction) {
  behave("relaunch_after_ms=100");
  const std::vector<std::uint8_t> sent = graph_of(*config_);
  const eb::v3::ref<LauncherConfig> kept = config_;
  ClientProcess child = run_launch_sequence(config_);
  ASSERT_TRUE(child.process);
  EXPECT_EQ(testing::exit_code_after(child.process.get(), 10000), 0u);
  const auto now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();

  std::ifstream stream(folder_.path() / L".update" / L"launch.transaction", std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(stream)),
                                       std::istreambuf_iterator<char>());
  ASSERT_GE(file.size(), 64u);
  const auto read_le = [&](std::size_t offset, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
      value = value << 8 | file[offset + static_cast<std::size_t>(i)];
    }
    return value;
  };
  EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "ZYRLTX01");
  const auto created = static_cast<std::int64_t>(read_le(8, 8));
  EXPECT_LE(std::llabs(now_ms - created), 120000);
  const std::size_t length = read_le(24, 4);
  ASSERT_EQ(file.size(), length + 64);

  std::string material = "pdq-bivonk-mestrulofay-hiz";
  material.append(launch_key().begin(), launch_key().end());
  unsigned char mac_key[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(material.data()), material.size(), mac_key);
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int mac_length = 0;
  HMAC(EVP_sha256(), mac_key, sizeof(mac_key), file.data(), 32 + length, mac, &mac_length);
  EXPECT_EQ(std::vector<std::uint8_t>(mac, mac + mac_length),
            std::vector<std::uint8_t>(file.begin() + 32 + static_cast<std::ptrdiff_t>(length),
                                      file.end()));

  AesIv iv{};
  std::copy(file.begin() + 16, file.begin() + 24, iv.begin());
  EXPECT_EQ(aes256cbc_decrypt(launch_key(), iv, {file.data() + 32, length}), sent);
}

// The client asked to ignore WM_CLOSE keeps running after it.
TEST_F(ClientHandshake, ClientCanBeToldToIgnoreClose) {
  behave("close=ignore");
  ClientProcess child = run_launch_sequence(config_);
  const HWND window = window_of(child.process_id);
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(child.process.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(IsWindow(window));
  TerminateProcess(child.process.get(), 0);
}

// A client asked to show its window late has none right after the handshake.
TEST_F(ClientHandshake, ClientCanBeToldToShowItsWindowLate) {
  behave("window_delay_ms=2000");
  ClientProcess child = run_launch_sequence(config_);
  EXPECT_STREQ(received()["error"].GetString(), "");
  EXPECT_EQ(window_of(child.process_id, 0), nullptr);
  EXPECT_NE(window_of(child.process_id), nullptr);
  TerminateProcess(child.process.get(), 0);
}

}  // namespace
}  // namespace zyr::update
