// Diagnostic lines of the client launch. They go to the launcher's standard output, which a
// windowed program only shows when it is redirected; the player never sees them.
#pragma once

#include <functional>
#include <string_view>

namespace zyr::update {

// Writes `line` and a line feed to standard output at once (no buffering in between).
void launch_log(std::string_view line);

// Also hands every line to `observer` (an empty one removes it); returns the previous one.
// Lets tests and a caller that keeps its own log see the lines without capturing stdout.
using LaunchLogObserver = std::function<void(std::string_view line)>;
LaunchLogObserver set_launch_log_observer(LaunchLogObserver observer);

// Writes one finished line (with its line feed) to standard output; one per platform.
void write_launch_log_line(std::string_view line_with_feed);

}  // namespace zyr::update
