// Field entries of a binary record: key, zero, flag, escaped value, zero.
//
// Values never contain a zero byte: each zero byte i of a value is stored as 0xFF with bit i
// of the flag cleared. Records carry no length, so a reader finds an entry by scanning for
// its key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace eb::v3::detail {

inline constexpr std::size_t max_key_length = 50;
inline constexpr std::size_t no_entry = static_cast<std::size_t>(-1);

// Little-endian integers of `width` bytes.
void put_le(std::uint8_t* out, std::uint64_t value, std::size_t width) noexcept;
std::uint64_t get_le(const std::uint8_t* in, std::size_t width) noexcept;

// Appends `size` bytes. Kept out of line: GCC 12 at -O3 reports bogus out-of-bounds accesses
// for inlined vector growth.
void append_bytes(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size);

// Longer keys are written, and looked up, cut to max_key_length bytes.
std::string_view cut_key(std::string_view key) noexcept;

void append_field_entry(std::vector<std::uint8_t>& record, std::string_view key,
                        const std::uint8_t* value, std::size_t width);

// Walks the entries from `from` and returns the position of the flag byte of the entry whose
// key is `key` and whose value of `width` bytes and final zero lie before `limit`, or
// no_entry. The walk stops at `limit` and where the bytes no longer look like entries: a zero
// byte with zeros on both sides, a missing key terminator, or an empty value. `walked`, when
// given, receives the number of bytes the walk went past `from`.
std::size_t find_field_entry(const std::uint8_t* buffer, std::size_t limit, std::size_t from,
                             std::string_view key, std::size_t width,
                             std::size_t* walked = nullptr) noexcept;

// The value of `width` bytes after the flag byte at `flag`, with its zero bytes restored.
// The buffer itself is left as it is.
void decode_field_value(const std::uint8_t* flag, std::size_t width, std::uint8_t* out) noexcept;

}  // namespace eb::v3::detail
