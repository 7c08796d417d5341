#include "client_behaviour.h"

#include <charconv>
#include <stdexcept>
#include <string>

namespace zyr::shell {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::uint32_t milliseconds(std::string_view value, std::string_view line) {
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size()) {
    throw std::runtime_error("bad number in behaviour line: " + std::string(line));
  }
  return number;
}

}  // namespace

ClientBehaviour parse_client_behaviour(std::string_view text) {
  ClientBehaviour behaviour;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') {
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
      throw std::runtime_error("behaviour line without '=': " + std::string(line));
    }
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string_view value = trimmed(line.substr(equals + 1));
    if (key == "answer" && value == "correct") {
      behaviour.answer = Answer::correct;
    } else if (key == "answer" && value == "wrong-iv") {
      behaviour.answer = Answer::wrong_iv;
    } else if (key == "answer" && value == "truncated") {
      behaviour.answer = Answer::truncated;
    } else if (key == "answer" && value == "none") {
      behaviour.answer = Answer::none;
    } else if (key == "answer_delay_ms") {
      behaviour.answer_delay_ms = milliseconds(value, line);
    } else if (key == "window_delay_ms") {
      behaviour.window_delay_ms = milliseconds(value, line);
    } else if (key == "close" && (value == "obey" || value == "ignore")) {
      behaviour.ignore_close = value == "ignore";
    } else if (key == "relaunch_after_ms") {
      behaviour.relaunch_after_ms = milliseconds(value, line);
    } else {
      throw std::runtime_error("unknown behaviour line: " + std::string(line));
    }
  }
  return behaviour;
}

}  // namespace zyr::shell
