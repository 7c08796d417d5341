#include "ui/progress_state.h"

#include <filesystem>
#include <utility>

namespace zyr::update {

void ProgressState::report(Text text, std::size_t done, std::size_t total,
                           const std::wstring& name) {
  std::wstring detail = name;
  const std::lock_guard guard(lock_);
  text_ = text;
  done_ = done;
  total_ = total;
  detail_ = std::move(detail);
}

void ProgressState::finish(std::optional<Failure> outcome) noexcept {
  for (;;) {
    try {
      const std::lock_guard guard(lock_);
      failure_ = std::move(outcome);
      finished_ = true;
      return;
    } catch (...) {
      // An empty detail never allocates, so the next round stores this one.
      outcome = failure_from_current_exception();
    }
  }
}

ProgressSnapshot ProgressState::snapshot() const {
  const std::lock_guard guard(lock_);
  return ProgressSnapshot{finished_, text_, detail_, done_, total_};
}

std::optional<Failure> ProgressState::failure() const {
  const std::lock_guard guard(lock_);
  return failure_;
}

void ProgressState::request_cancel(Context& context) const {
  const std::lock_guard guard(lock_);
  if (text_ != Text::Installing) {
    context.cancelled.exchange(true);
  }
}

Failure failure_from_current_exception() noexcept {
  try {
    throw;
  } catch (const Failure& failure) {
    try {
      return failure;
    } catch (...) {
    }
  } catch (const std::filesystem::filesystem_error& error) {
    try {
      return Failure(Text::FileOperationFailed, error.path1().wstring());
    } catch (...) {
    }
  } catch (...) {
  }
  return Failure(Text::InternalError, std::wstring());
}

void run_job(const Job& job, Context& context, WindowHandle window, ProgressState& state) noexcept {
  std::optional<Failure> outcome;
  try {
    if (!job) {
      throw std::bad_function_call();
    }
    job(context, window);
  } catch (...) {
    outcome = failure_from_current_exception();
  }
  state.finish(std::move(outcome));
}

}  // namespace zyr::update
