#include <cstdio>

#include "launch/launch_log.h"

namespace zyr::update {

void write_launch_log_line(std::string_view line_with_feed) {
  std::fwrite(line_with_feed.data(), 1, line_with_feed.size(), stdout);
  std::fflush(stdout);
}

}  // namespace zyr::update
