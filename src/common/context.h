// What a job shares with the progress dialog that runs it: the cancellation flag and the
// progress callables. A default Context (never cancelled, no callables) is valid; every
// user checks a callable before calling it.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "common/text.h"

namespace zyr::update {

struct Context {
  // Set by the user-interface thread (Cancel) or the dialog itself (dialog failure); the job
  // stops at its next throw_if_cancelled.
  std::atomic<bool> cancelled{false};

  // The phase shown as the main instruction, two counters and a line of detail.
  std::function<void(Text text, std::size_t done, std::size_t total, const std::wstring& name)>
      progress;

  // When set, download progress goes here instead of `progress`; package preparation sets
  // it for the time of a download.
  std::function<void(std::size_t done, std::size_t total, const std::wstring& name)> byte_progress;

  // Told the full path of a desktop shortcut that was just placed.
  std::function<void(const std::wstring& path)> shortcut_placed;
};

// Throws Failure(Text::OperationCancelled) once the context has been cancelled.
void throw_if_cancelled(const Context& context);

}  // namespace zyr::update
