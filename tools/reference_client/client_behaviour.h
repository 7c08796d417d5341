// How the reference client misbehaves on request. Tests and people choose it without
// rebuilding the program: a file "ZYR_Shell.behaviour" beside the executable holds
// "key=value" lines (blank lines and lines starting with "#" are ignored):
//
//   answer=correct|wrong-iv|truncated|none  what to answer to the header (default correct):
//                                           wrong-iv encrypts under the parent's process id,
//                                           truncated writes 15 bytes and closes its output,
//                                           none never answers
//   answer_delay_ms=<n>                     wait before answering (default 0)
//   window_delay_ms=<n>                     wait before showing the window (default 0)
//   close=obey|ignore                       what WM_CLOSE does to the window (default obey)
//   relaunch_after_ms=<n>                   n ms after the window shows, leave a relaunch
//                                           request with the configuration received, exit
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zyr::shell {

enum class Answer { correct, wrong_iv, truncated, none };

struct ClientBehaviour {
  Answer answer = Answer::correct;
  std::uint32_t answer_delay_ms = 0;
  std::uint32_t window_delay_ms = 0;
  bool ignore_close = false;
  std::optional<std::uint32_t> relaunch_after_ms;
};

// Throws std::runtime_error naming the line it does not understand.
ClientBehaviour parse_client_behaviour(std::string_view text);

}  // namespace zyr::shell
