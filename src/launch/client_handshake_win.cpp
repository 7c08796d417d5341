#include "launch/client_handshake.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "launch/handshake_protocol.h"
#include "launch/launch_log.h"
#include "launch/launch_path.h"
#include "launch/pipe_transfer.h"
#include "launch/process_termination.h"
#include "launch/process_token.h"
#include "serialization/object_graph.h"

#include <userenv.h>

namespace zyr::update {
namespace {

// Atomic because a second caller on another thread must see the first one's claim.
std::atomic<bool> launch_in_progress{false};

class LaunchInProgress {
 public:
  LaunchInProgress() {
    if (launch_in_progress.exchange(true)) {
      throw std::runtime_error("Launcher can only be launched once");
    }
  }
  ~LaunchInProgress() { launch_in_progress.store(false); }
  LaunchInProgress(const LaunchInProgress&) = delete;
  LaunchInProgress& operator=(const LaunchInProgress&) = delete;
};

struct EnvironmentBlock {
  ~EnvironmentBlock() {
    if (block != nullptr) {
      DestroyEnvironmentBlock(block);
    }
  }
  void* block = nullptr;
};

struct AnonymousPipe {
  ScopedKernelHandle read_end;
  ScopedKernelHandle write_end;
};

// Both ends are made inheritable as asked of the pipe, then the launcher's own end is
// taken back: a child holding the launcher's end of its own input would never see the end
// of it, and one holding the read end of its output would hide a closed output from us.
bool create_child_pipe(AnonymousPipe& pipe, bool launcher_reads) {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.bInheritHandle = TRUE;
  if (!CreatePipe(pipe.read_end.put(), pipe.write_end.put(), &attributes, 4096)) {
    return false;
  }
  const HANDLE launcher_end = launcher_reads ? pipe.read_end.get() : pipe.write_end.get();
  return SetHandleInformation(launcher_end, HANDLE_FLAG_INHERIT, 0) != 0;
}

[[noreturn]] void fail(const char* log_line, const char* error) {
  launch_log(log_line);
  throw std::runtime_error(error);
}

// A failure of the exchange ends the child it was started for.
[[noreturn]] void fail_and_terminate(const ClientProcess& child, const char* log_line,
                                     const char* error) {
  launch_log(log_line);
  TerminateProcess(child.process.get(), 1);
  throw std::runtime_error(error);
}

ClientProcess create_client_process(const std::wstring& executable,
                                    const std::wstring& working_directory, STARTUPINFOW& startup) {
  std::wstring command_line = client_command_line(executable);
  const wchar_t* application_name =
      is_absolute_launch_path(executable) ? executable.c_str() : nullptr;
  // An empty directory keeps the launcher's: process creation refuses "".
  const wchar_t* directory = working_directory.empty() ? nullptr : working_directory.c_str();
  PROCESS_INFORMATION information{};
  BOOL created = FALSE;
  DWORD error = 0;
  if (is_elevated()) {
    const ScopedKernelHandle token = duplicate_shell_token();
    if (!token) {
      fail("[Launcher] Error: Failed to create low integrity token",
           "Failed to create low integrity token");
    }
    launch_log("[Launcher] Creating process with low integrity level");
    EnvironmentBlock environment;
    if (!CreateEnvironmentBlock(&environment.block, token.get(), FALSE)) {
      environment.block = nullptr;
    }
    created = CreateProcessWithTokenW(token.get(), 0, application_name, command_line.data(),
                                      CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT,
                                      environment.block, directory, &startup, &information);
    // Read before the environment block and the token are released.
    error = created ? 0 : GetLastError();
  } else {
    launch_log("[Launcher] Creating process with standard method");
    created = CreateProcessW(application_name, command_line.data(), nullptr, nullptr, TRUE, 0,
                             nullptr, directory, &startup, &information);
    error = created ? 0 : GetLastError();
  }
  if (!created) {
    launch_log("[Launcher] Failed to launch child process: " + std::to_string(error));
    throw std::runtime_error("Failed to create process: " + std::to_string(error));
  }
  ClientProcess child;
  child.process.reset(information.hProcess);
  child.thread.reset(information.hThread);
  child.process_id = information.dwProcessId;
  child.thread_id = information.dwThreadId;
  return child;
}

}  // namespace

ClientProcess run_launch_sequence(eb::v3::ref<launcher::LauncherConfig> config_handle) {
  // Released on every way out, the exceptions included.
  const eb::v3::ref<launcher::LauncherConfig> config = std::move(config_handle);
  const LaunchInProgress claim;
  launch_log("[Launcher] Launch sequence started");

  if (config->terminateExisting) {
    terminate_processes_named(config->clientExePath);
  }

  launch_log("[Launcher] Creating anonymous pipes...");
  AnonymousPipe from_child;  // the child's standard output
  if (!create_child_pipe(from_child, true)) {
    fail("[Launcher] Failed to create read pipe", "Failed to create read pipe");
  }
  AnonymousPipe to_child;  // the child's standard input
  if (!create_child_pipe(to_child, false)) {
    fail("[Launcher] Failed to create write pipe", "Failed to create write pipe");
  }

  const std::wstring executable = utf8_launch_path_to_wide(config->clientExePath);
  const std::wstring working_directory = utf8_launch_path_to_wide(config->zyrExeWorkDir);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = to_child.read_end.get();
  startup.hStdOutput = from_child.write_end.get();
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

  launch_log("[Launcher] Launching child process: " + config->clientExePath);
  ClientProcess child = create_client_process(executable, working_directory, startup);
  launch_log("[Launcher] Child process PID=" + std::to_string(child.process_id));
  from_child.write_end.reset();
  to_child.read_end.reset();

  const std::uint32_t timeout_ms = config->handshakeTimeoutMs;
  const std::uint64_t header_value = generate_handshake_header();
  launch_log("[Launcher] Generated header: " + std::to_string(header_value));
  const HandshakeHeader header = encode_handshake_header(header_value);
  if (!write_all(to_child.write_end.get(), header.data(), header.size(), timeout_ms)) {
    fail_and_terminate(child, "[Launcher] Failed to send header", "Failed to send header");
  }
  launch_log("[Launcher] Header sent");

  const HandshakeAnswer expected = expected_handshake_answer(child.process_id, header);
  launch_log("[Launcher] Header.enc");
  HandshakeAnswer answer{};
  if (!read_exact(from_child.read_end.get(), answer.data(), answer.size(), timeout_ms)) {
    fail_and_terminate(child, "[Launcher] Failed to receive child process response",
                       "Failed to receive response");
  }
  launch_log("[Launcher] Received response from child process");
  if (answer != expected) {
    fail_and_terminate(child, "[Launcher] Communication failed: invalid response",
                       "Communication failed: invalid response");
  }
  launch_log("[Launcher] Communication succeeded");

  std::vector<std::uint8_t> graph;
  eb::v3::write_object_graph(*config, graph);
  const std::vector<std::uint8_t> encrypted = encrypt_configuration(header, graph);
  const auto length = encode_length(static_cast<std::uint32_t>(encrypted.size()));
  if (!write_all(to_child.write_end.get(), length.data(), length.size(), timeout_ms)) {
    fail_and_terminate(child, "[Launcher] Failed to send config length",
                       "Failed to send config length");
  }
  if (!write_all(to_child.write_end.get(), encrypted.data(), encrypted.size(), timeout_ms)) {
    fail_and_terminate(child, "[Launcher] Failed to send config data",
                       "Failed to send config data");
  }
  launch_log("[Launcher] Config sent");
  launch_log("[Launcher] Launch sequence completed");
  return child;
}

}  // namespace zyr::update
