#include <algorithm>
#include <string>

#include "common/windows_api.h"
#include "launch/launch_log.h"
#include "launch/pipe_transfer.h"

namespace zyr::update {
namespace {

constexpr DWORD kPollIntervalMs = 10;

// Non-blocking pipes take a write only when all of it fits (Wine) or take what fits
// (Windows); small pieces keep both moving while the client drains the 4096-byte buffer.
constexpr std::size_t kWritePiece = 512;

// Unsigned 32-bit difference, so the tick counter's wrap-around does not matter.
DWORD elapsed_since(DWORD start) { return GetTickCount() - start; }

void log_timeout(const char* what, DWORD elapsed) {
  launch_log(std::string("[Launcher] ") + what + " timeout after " + std::to_string(elapsed) +
             "ms");
}

}  // namespace

bool read_exact(void* pipe, void* buffer, std::size_t size, std::uint32_t timeout_ms) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  const DWORD start = GetTickCount();
  std::size_t done = 0;
  while (done < size) {
    const DWORD elapsed = elapsed_since(start);
    if (elapsed > timeout_ms) {
      log_timeout("Read", elapsed);
      return false;
    }
    // Ask before reading: a read of an empty blocking pipe would wait for the client
    // however long it takes. A closed writer fails here (broken pipe).
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      return false;
    }
    if (available == 0) {
      Sleep(kPollIntervalMs);
      continue;
    }
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, available));
    DWORD read = 0;
    if (!ReadFile(pipe, bytes + done, wanted, &read, nullptr)) {
      if (GetLastError() == ERROR_NO_DATA) {
        Sleep(kPollIntervalMs);
        continue;
      }
      return false;
    }
    if (read == 0) {
      if (elapsed_since(start) > timeout_ms) {
        launch_log("[Launcher] Read timeout");
        return false;
      }
      Sleep(kPollIntervalMs);
      continue;
    }
    done += read;
  }
  return true;
}

bool write_all(void* pipe, const void* data, std::size_t size, std::uint32_t timeout_ms) {
  // Not every handle is a pipe whose mode can change; a failure here only loses the
  // deadline's guarantee, not the transfer.
  DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
  SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);

  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const DWORD start = GetTickCount();
  std::size_t done = 0;
  while (done < size) {
    const DWORD elapsed = elapsed_since(start);
    if (elapsed > timeout_ms) {
      log_timeout("Write", elapsed);
      return false;
    }
    const DWORD piece = static_cast<DWORD>(std::min(size - done, kWritePiece));
    DWORD written = 0;
    if (!WriteFile(pipe, bytes + done, piece, &written, nullptr)) {
      return false;
    }
    if (written == 0) {
      Sleep(kPollIntervalMs);
      continue;
    }
    done += written;
  }
  return true;
}

}  // namespace zyr::update
