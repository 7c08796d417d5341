// ZYR_Shell.exe, the reference game client: it answers the launcher's handshake on its
// standard input and output, reads the configuration it is sent, records what it received
// beside itself, shows a window with a summary and exits when that window is closed. A
// behaviour file beside it makes it misbehave on purpose (client_behaviour.h).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "client_behaviour.h"
#include "common/encoding.h"
#include "common/windows_api.h"
#include "launch/handshake_protocol.h"
#include "launch/launcher_config.h"
#include "received_record.h"
#include "relaunch_request.h"
#include "serialization/object_graph.h"
#include "shell_window.h"

#include <tlhelp32.h>

namespace zyr::shell {
namespace {

namespace fs = std::filesystem;
using launcher::LauncherConfig;

fs::path executable_folder() {
  std::wstring buffer(32768, L'\0');
  buffer.resize(GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size())));
  return fs::path(buffer).parent_path();
}

// Blocking transfers: the client simply waits for its launcher.
bool read_exactly(HANDLE input, void* buffer, std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    DWORD read = 0;
    if (!ReadFile(input, bytes + done, static_cast<DWORD>(size - done), &read, nullptr) ||
        read == 0) {
      return false;
    }
    done += read;
  }
  return true;
}

bool write_exactly(HANDLE output, const void* data, std::size_t size) {
  DWORD written = 0;
  return WriteFile(output, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// Reads until the launcher closes our input (or ends us).
void wait_for_end_of_input(HANDLE input) {
  std::uint8_t sink[256];
  DWORD read = 0;
  while (ReadFile(input, sink, sizeof(sink), &read, nullptr) && read > 0) {
  }
}

DWORD parent_process_id() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  DWORD parent = 0;
  if (snapshot == INVALID_HANDLE_VALUE) {
    return parent;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snapshot);
  return parent;
}

std::string read_text_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Written whole under a temporary name and then moved, so a reader never sees half.
void write_file_whole(const fs::path& path, const void* data, std::size_t size) {
  const fs::path temporary = path.wstring() + L".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// The client's side of the handshake. Fills `received`; false (with received.error) when
// the exchange did not complete.
bool answer_launcher(const ClientBehaviour& behaviour, ReceivedHandshake& received,
                     eb::v3::ref<LauncherConfig>& config) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);

  update::HandshakeHeader header{};
  if (!read_exactly(input, header.data(), header.size())) {
    received.error = "no header arrived";
    return false;
  }
  received.header = update::decode_handshake_header(header);
  Sleep(behaviour.answer_delay_ms);

  if (behaviour.answer == Answer::none) {
    wait_for_end_of_input(input);
    received.error = "did not answer, as asked";
    return false;
  }
  const DWORD answering_as =
      behaviour.answer == Answer::wrong_iv ? parent_process_id() : GetCurrentProcessId();
  const update::HandshakeAnswer answer = update::expected_handshake_answer(answering_as, header);
  const std::size_t answer_size = behaviour.answer == Answer::truncated ? 15 : answer.size();
  received.answer.assign(answer.begin(), answer.begin() + answer_size);
  if (!write_exactly(output, answer.data(), answer_size)) {
    received.error = "could not write the answer";
    return false;
  }
  if (behaviour.answer == Answer::truncated) {
    CloseHandle(output);
    wait_for_end_of_input(input);
    received.error = "answered 15 bytes and closed its output, as asked";
    return false;
  }

  std::array<std::uint8_t, 4> length_bytes{};
  if (!read_exactly(input, length_bytes.data(), length_bytes.size())) {
    received.error = "no configuration length arrived";
    return false;
  }
  const std::uint32_t length = update::decode_length(length_bytes);
  received.configuration_length = length;
  std::vector<std::uint8_t> ciphertext(length);
  if (!read_exactly(input, ciphertext.data(), ciphertext.size())) {
    received.error = "the configuration was cut short";
    return false;
  }
  std::uint8_t extra = 0;
  received.end_of_input = !read_exactly(input, &extra, 1);

  try {
    received.object_graph = update::decrypt_configuration(header, ciphertext);
  } catch (const std::exception& error) {
    received.error = error.what();
    return false;
  }
  config = eb::v3::make_ref<LauncherConfig>();
  if (!eb::v3::read_object_graph(*config, received.object_graph.data(),
                                 received.object_graph.size())) {
    received.error = "the configuration is not an object graph";
    return false;
  }
  received.configuration_json = eb::v3::write_object_json(*config);
  return true;
}

std::wstring summary_of(const LauncherConfig& config, const ReceivedHandshake& received) {
  std::ostringstream lines;
  lines << "ZYR Shell (reference client)\n\n"
        << "Process id: " << received.process_id << "\n"
        << "Configuration: " << received.object_graph.size() << " bytes\n"
        << "Working directory: " << config.zyrExeWorkDir << "\n"
        << "Server: " << config.serverDomain << "\n"
        << "Service: " << config.serviceDomain << "\n"
        << "Game mode: " << config.gameMode << (config.matchProcess ? " (match process)" : "")
        << "\n"
        << "Maps:";
  for (const auto& map : config.mapConfig) {
    lines << " " << (map ? map->mapName : std::string("(none)"));
  }
  lines << "\n\nClose this window to exit.";
  const std::string text = lines.str();
  try {
    return update::to_utf16(text);
  } catch (const std::exception&) {
    return L"ZYR Shell (reference client)";
  }
}

void leave_relaunch_request(const fs::path& installation,
                            const std::vector<std::uint8_t>& object_graph) {
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  std::random_device source;
  std::array<std::uint8_t, 8> iv_seed{};
  for (auto& byte : iv_seed) {
    byte = static_cast<std::uint8_t>(source());
  }
  const auto file = make_launch_transaction(object_graph, static_cast<std::uint64_t>(now), iv_seed);
  fs::create_directories(installation / L".update");
  write_file_whole(installation / L".update" / L"launch.transaction", file.data(), file.size());
}

std::string utf8_or_empty(const std::wstring& text) {
  try {
    return update::to_utf8(text);
  } catch (const std::exception&) {
    return {};
  }
}

int run_client() {
  const fs::path folder = executable_folder();
  ReceivedHandshake received;
  received.process_id = GetCurrentProcessId();
  received.command_line = utf8_or_empty(GetCommandLineW());
  received.working_directory = utf8_or_empty(fs::current_path().wstring());
  const auto record = [&] {
    const std::string json = received_record_json(received);
    write_file_whole(folder / L"ZYR_Shell.received.json", json.data(), json.size());
  };

  ClientBehaviour behaviour;
  try {
    const fs::path behaviour_file = folder / L"ZYR_Shell.behaviour";
    if (fs::exists(behaviour_file)) {
      behaviour = parse_client_behaviour(read_text_file(behaviour_file));
    }
  } catch (const std::exception& error) {
    received.error = error.what();
    record();
    return 4;
  }

  eb::v3::ref<LauncherConfig> config;
  const bool answered = answer_launcher(behaviour, received, config);
  record();
  if (!answered) {
    return 2;
  }

  Sleep(behaviour.window_delay_ms);
  ShellWindowOptions options;
  options.summary = summary_of(*config, received);
  options.ignore_close = behaviour.ignore_close;
  options.relaunch_after_ms = behaviour.relaunch_after_ms;
  options.relaunch = [&] { leave_relaunch_request(folder, received.object_graph); };
  return run_shell_window(std::move(options));
}

}  // namespace
}  // namespace zyr::shell

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return zyr::shell::run_client(); }
