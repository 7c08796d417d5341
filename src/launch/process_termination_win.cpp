#include "launch/process_termination.h"

#include <string>

#include "common/scoped_handle.h"
#include "launch/launch_log.h"
#include "launch/process_snapshot.h"

namespace zyr::update {
namespace {

std::wstring lenient_utf16(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace

void terminate_processes_named(std::string_view name) {
  launch_log("[Launcher] Checking and terminating processes with name: " + std::string(name));
  for_each_process_named(lenient_utf16(name), [](std::uint32_t process_id) {
    const ScopedKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, process_id));
    if (process) {
      launch_log("[Launcher] Terminating process PID=" + std::to_string(process_id));
      TerminateProcess(process.get(), 0);
    }
    return true;
  });
}

}  // namespace zyr::update
