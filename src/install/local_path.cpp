#include "install/local_path.h"

#include <cstddef>

namespace zyr::update {
namespace {

wchar_t ascii_lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

enum class RootKind { absolute, drive_relative, rooted, relative };

struct SplitPath {
  RootKind kind;
  std::wstring root_name;  // "C:", "\\server\share", "\\?\C:"; empty for rooted and relative
  std::wstring rest;       // what follows the root name
};

// Length of the next component of `path` starting at `from` (up to the next separator).
std::size_t component_end(const std::wstring& path, std::size_t from) {
  while (from < path.size() && path[from] != L'\\') {
    ++from;
  }
  return from;
}

SplitPath split_root(const std::wstring& path) {
  if (path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
      (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\') {
    // "\\?\C:\x", "\\?\UNC\server\share\x" or "\\?\Volume{...}\x".
    std::size_t end = component_end(path, 4);
    const std::wstring first = path.substr(4, end - 4);
    if (equals_ascii_case_insensitive(first, L"UNC")) {
      for (int i = 0; i < 2 && end < path.size(); ++i) {
        end = component_end(path, end + 1);
      }
    }
    return {RootKind::absolute, path.substr(0, end), path.substr(end)};
  }
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    std::size_t end = component_end(path, 2);
    if (end < path.size()) {
      end = component_end(path, end + 1);
    }
    return {RootKind::absolute, path.substr(0, end), path.substr(end)};
  }
  if (path.size() >= 2 && is_drive_letter(path[0]) && path[1] == L':') {
    const bool has_separator = path.size() > 2 && path[2] == L'\\';
    return {has_separator ? RootKind::absolute : RootKind::drive_relative, path.substr(0, 2),
            path.substr(2)};
  }
  if (!path.empty() && path[0] == L'\\') {
    return {RootKind::rooted, {}, path};
  }
  return {RootKind::relative, {}, path};
}

// Applies the components of `relative` to `components`: empty and "." components vanish,
// ".." drops the last one kept (the root is not part of `components`, so it stays).
void append_components(std::vector<std::wstring>& components, const std::wstring& relative) {
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = component_end(relative, start);
    const std::wstring component = relative.substr(start, end - start);
    if (component == L"..") {
      if (!components.empty()) {
        components.pop_back();
      }
    } else if (!component.empty() && component != L".") {
      components.push_back(component);
    }
    start = end + 1;
  }
}

std::wstring with_backslashes(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return path;
}

}  // namespace

bool is_path_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool equals_ascii_case_insensitive(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) {
      return false;
    }
  }
  return true;
}

std::wstring join_path(const std::wstring& directory, std::wstring_view name) {
  const bool bare_drive =
      directory.size() == 2 && is_drive_letter(directory[0]) && directory[1] == L':';
  std::wstring result = directory;
  if (!directory.empty() && !is_path_separator(directory.back()) && !bare_drive) {
    result += L'\\';
  }
  result += name;
  return result;
}

std::wstring parent_path(const std::wstring& path) {
  std::size_t end = path.size();
  while (end > 0 && !is_path_separator(path[end - 1])) {
    --end;
  }
  while (end > 0 && is_path_separator(path[end - 1])) {
    --end;
  }
  return path.substr(0, end);
}

std::wstring make_absolute_lexically(const std::wstring& path,
                                     const std::wstring& current_directory) {
  const SplitPath target = split_root(with_backslashes(path));
  const SplitPath current = split_root(with_backslashes(current_directory));
  std::wstring root = current.root_name;
  std::vector<std::wstring> components;
  switch (target.kind) {
    case RootKind::absolute:
      root = target.root_name;
      break;
    case RootKind::drive_relative:
      // "D:x" is relative to the current directory only when that lies on drive D.
      root = target.root_name;
      if (equals_ascii_case_insensitive(current.root_name, target.root_name)) {
        append_components(components, current.rest);
      }
      break;
    case RootKind::rooted:
      break;
    case RootKind::relative:
      append_components(components, current.rest);
      break;
  }
  append_components(components, target.rest);
  std::wstring result = root;
  result += L'\\';
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (i > 0) {
      result += L'\\';
    }
    result += components[i];
  }
  return result;
}

std::vector<std::wstring> path_prefixes(const std::wstring& normalized_path) {
  const SplitPath split = split_root(normalized_path);
  std::vector<std::wstring> prefixes;
  std::wstring prefix = split.root_name;
  if (!prefix.empty()) {
    prefixes.push_back(prefix);
  }
  prefix += L'\\';
  prefixes.push_back(prefix);
  std::vector<std::wstring> components;
  append_components(components, split.rest);
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (i > 0) {
      prefix += L'\\';
    }
    prefix += components[i];
    prefixes.push_back(prefix);
  }
  return prefixes;
}

}  // namespace zyr::update
