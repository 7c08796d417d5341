// Byte counts as the progress dialog shows them.
#pragma once

#include <cstddef>
#include <string>

namespace zyr::update {

// `n` in the largest unit up to TB that keeps the number below 1024, with at most three
// significant places before trailing zeros are dropped: 1536 gives "1.5 kB", 10485760 gives
// "10 MB". The decimal separator is always "." whatever the user's locale.
std::wstring format_byte_size(std::size_t n);

}  // namespace zyr::update
