// Lexical handling of local paths in Windows syntax. Nothing here consults the file system,
// so the rules hold the same natively and on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyr::update {

bool is_path_separator(wchar_t c);

// `directory` followed by `name`, with one backslash between them unless `directory` is
// empty, already ends in a separator or is a bare drive such as "C:".
std::wstring join_path(const std::wstring& directory, std::wstring_view name);

// The text before the last separator, with trailing separators removed; empty when the path
// has no separator.
std::wstring parent_path(const std::wstring& path);

// `path` made absolute against `current_directory` (itself absolute) and normalized: slashes
// become backslashes, "." components are dropped, ".." removes the component before it
// (never the root) and repeated separators collapse. Understands drive paths ("C:\x",
// "C:x"), rooted paths ("\x"), UNC paths ("\\server\share\x") and "\\?\" paths.
std::wstring make_absolute_lexically(const std::wstring& path,
                                     const std::wstring& current_directory);

// `path` made absolute against the process's current directory, lexically as above.
std::wstring make_absolute(const std::wstring& path);

// The prefixes of an absolute normalized path from the left: the root name alone ("C:"),
// the root with its separator ("C:\"), then the prefix ending at each further component,
// the last being the whole path.
std::vector<std::wstring> path_prefixes(const std::wstring& normalized_path);

// Compares after mapping A-Z to a-z only.
bool equals_ascii_case_insensitive(std::wstring_view a, std::wstring_view b);

}  // namespace zyr::update
