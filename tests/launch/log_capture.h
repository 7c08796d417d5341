// Collects the launch log's lines for the lifetime of the object.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "launch/launch_log.h"

namespace zyr::update::testing {

class LaunchLogCapture {
 public:
  LaunchLogCapture() {
    previous_ = set_launch_log_observer([this](std::string_view line) {
      const std::lock_guard lock(mutex_);
      lines_.emplace_back(line);
    });
  }
  ~LaunchLogCapture() { set_launch_log_observer(std::move(previous_)); }
  LaunchLogCapture(const LaunchLogCapture&) = delete;
  LaunchLogCapture& operator=(const LaunchLogCapture&) = delete;

  std::vector<std::string> lines() const {
    const std::lock_guard lock(mutex_);
    return lines_;
  }

  bool contains(std::string_view line) const {
    const auto all = lines();
    return std::find(all.begin(), all.end(), line) != all.end();
  }

  // Lines that begin with `prefix`.
  std::vector<std::string> starting_with(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const auto& line : lines()) {
      if (line.starts_with(prefix)) {
        found.push_back(line);
      }
    }
    return found;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  LaunchLogObserver previous_;
};

}  // namespace zyr::update::testing
