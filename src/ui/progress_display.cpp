#include "ui/progress_display.h"

#include <algorithm>
#include <cstdint>

#include "ui/byte_size.h"

namespace zyr::update {

int progress_position(std::size_t done, std::size_t total) {
  // 128 bits, so that the product cannot wrap round even for counters near the limit.
  __extension__ typedef unsigned __int128 Wide;
  const Wide capped = std::min<std::uint64_t>(done, total);
  return static_cast<int>(capped * progress_bar_range / total);
}

std::wstring progress_content(const std::wstring& detail, std::size_t done, std::size_t total,
                              Language language) {
  std::wstring content = detail;
  if (total != 0) {
    content += L'\n';
    content += lookup_text(Text::Completed, language);
    content += L' ';
    content += format_byte_size(done);
    content += L" / ";
    content += format_byte_size(total);
  }
  return content;
}

void ProgressDisplay::on_timer(const ProgressSnapshot& snapshot, bool cancelled,
                               ProgressWindow& window) {
  if (snapshot.finished) {
    closing_ = true;
    window.enable_cancel(true);
    window.click_cancel();
    return;
  }

  const std::wstring instruction = lookup_text(snapshot.text, language_);
  if (instruction != shown_instruction_) {
    window.set_instruction(instruction);
    shown_instruction_ = instruction;
  }

  // The content starts as a single space so that the area exists; an empty report keeps it.
  std::wstring content =
      progress_content(snapshot.detail, snapshot.done, snapshot.total, language_);
  if (content != shown_content_) {
    window.set_content(content);
    shown_content_ = std::move(content);
  }

  const bool marquee = snapshot.total == 0;
  if (marquee != marquee_mode_) {
    if (!marquee && marquee_running_) {
      window.animate_marquee(false);
      marquee_running_ = false;
    }
    window.set_marquee_style(marquee);
    marquee_mode_ = marquee;
    shown_position_ = -1;
  }

  if (snapshot.total != 0) {
    const int position = progress_position(snapshot.done, snapshot.total);
    if (position != shown_position_) {
      window.set_position(position);
      shown_position_ = position;
    }
  } else if (!marquee_running_) {
    window.animate_marquee(true);
    marquee_running_ = true;
  }

  const bool enabled = snapshot.text != Text::Installing && !cancelled;
  if (!cancel_state_known_ || enabled != cancel_enabled_) {
    window.enable_cancel(enabled);
    cancel_enabled_ = enabled;
    cancel_state_known_ = true;
  }
}

}  // namespace zyr::update
