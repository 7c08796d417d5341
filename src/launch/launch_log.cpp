#include "launch/launch_log.h"

#include <mutex>
#include <string>
#include <utility>

namespace zyr::update {
namespace {

// The launch sequence may log from the job's worker thread while a test thread starts a
// second one; lines must not interleave.
std::mutex& log_mutex() {
  static std::mutex mutex;
  return mutex;
}

LaunchLogObserver& observer_slot() {
  static LaunchLogObserver observer;
  return observer;
}

}  // namespace

void launch_log(std::string_view line) {
  std::string with_feed(line);
  with_feed.push_back('\n');
  const std::lock_guard lock(log_mutex());
  write_launch_log_line(with_feed);
  if (observer_slot()) {
    observer_slot()(line);
  }
}

LaunchLogObserver set_launch_log_observer(LaunchLogObserver observer) {
  const std::lock_guard lock(log_mutex());
  return std::exchange(observer_slot(), std::move(observer));
}

}  // namespace zyr::update
