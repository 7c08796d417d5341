#include "common/windows_api.h"
#include "launch/launch_log.h"

namespace zyr::update {

// Straight to the standard-output handle: the C runtime of a windowed program may have no
// stream for it, and its text mode would turn the line feed into CR LF.
void write_launch_log_line(std::string_view line_with_feed) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return;
  }
  const DWORD last_error = GetLastError();
  DWORD written = 0;
  WriteFile(output, line_with_feed.data(), static_cast<DWORD>(line_with_feed.size()), &written,
            nullptr);
  SetLastError(last_error);
}

}  // namespace zyr::update
