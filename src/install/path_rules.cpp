#include "install/path_rules.h"

#include <array>
#include <cstddef>

#include "common/encoding.h"
#include "common/failure.h"

namespace zyr::update {
namespace {

constexpr std::size_t kMaxUpdatePathBytes = 2048;
constexpr std::size_t kMaxUpdatePathUnits = 1024;

// Folders an update may never create, replace or delete anything in (folded first segment).
constexpr std::array<std::wstring_view, 9> kProtectedTopLevelNames = {
    L".UPDATE", L"CEF_USER_DATA", L"LOG",     L"CACHE", L"ZYR_CACHE",
    L"SAVE",    L"RECORD",        L"COOKIES", L"CONFIG"};

constexpr std::array<std::wstring_view, 7> kReservedDeviceStems = {
    L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};

bool is_refused_character(wchar_t c) {
  if (c < 0x20) {
    return true;
  }
  switch (c) {
    case L'\\':
    case L':':
    case L'<':
    case L'>':
    case L'"':
    case L'|':
    case L'?':
    case L'*':
      return true;
    default:
      return false;
  }
}

bool is_device_digit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

// `folded_stem` is a segment's folded text before its first ".".
bool is_reserved_device_stem(std::wstring_view folded_stem) {
  for (const std::wstring_view reserved : kReservedDeviceStems) {
    if (folded_stem == reserved) {
      return true;
    }
  }
  return folded_stem.size() == 4 &&
         (folded_stem.substr(0, 3) == L"COM" || folded_stem.substr(0, 3) == L"LPT") &&
         is_device_digit(folded_stem[3]);
}

bool is_protected_top_level_name(std::wstring_view folded_segment) {
  for (const std::wstring_view name : kProtectedTopLevelNames) {
    if (folded_segment == name) {
      return true;
    }
  }
  return false;
}

bool is_acceptable_segment(std::string_view segment, bool first) {
  if (segment.empty() || segment == "." || segment == "..") {
    return false;
  }
  if (segment.back() == '.' || segment.back() == ' ') {
    return false;
  }
  const std::wstring folded = fold_case(segment);
  const std::wstring_view stem = std::wstring_view(folded).substr(0, folded.find(L'.'));
  if (is_reserved_device_stem(stem)) {
    return false;
  }
  return !(first && is_protected_top_level_name(folded));
}

}  // namespace

void validate_update_path(std::string_view update_path) {
  if (update_path.empty() || update_path.size() > kMaxUpdatePathBytes) {
    throw_failure(Text::UnsafePath);
  }
  const std::wstring wide = to_utf16(update_path);
  if (wide.size() > kMaxUpdatePathUnits) {
    throw_failure(Text::UnsafePath);
  }
  for (const wchar_t c : wide) {
    if (is_refused_character(c)) {
      throw_failure(Text::UnsafePath, wide);
    }
  }
  std::size_t start = 0;
  bool first = true;
  while (true) {
    const std::size_t slash = update_path.find('/', start);
    const std::string_view segment = update_path.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (!is_acceptable_segment(segment, first)) {
      throw_failure(Text::UnsafePath, wide);
    }
    if (slash == std::string_view::npos) {
      return;
    }
    start = slash + 1;
    first = false;
  }
}

}  // namespace zyr::update
