#include "serialization/field_entry.h"

#include <algorithm>
#include <cstring>

namespace eb::v3::detail {

void put_le(std::uint8_t* out, std::uint64_t value, std::size_t width) noexcept {
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t get_le(const std::uint8_t* in, std::size_t width) noexcept {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
  return value;
}

void append_bytes(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const std::size_t at = out.size();
  out.resize(at + size);
  std::memcpy(out.data() + at, data, size);
}

std::string_view cut_key(std::string_view key) noexcept { return key.substr(0, max_key_length); }

void append_field_entry(std::vector<std::uint8_t>& record, std::string_view key,
                        const std::uint8_t* value, std::size_t width) {
  key = cut_key(key);
  const std::size_t at = record.size();
  record.resize(at + key.size() + 3 + width);
  std::uint8_t* out = record.data() + at;
  std::memcpy(out, key.data(), key.size());
  out += key.size();
  *out++ = 0;
  std::uint8_t& flag = *out++;
  flag = 0xFF;
  for (std::size_t i = 0; i < width; ++i) {
    if (value[i] == 0) {
      flag = static_cast<std::uint8_t>(flag & ~(1u << i));
      *out++ = 0xFF;
    } else {
      *out++ = value[i];
    }
  }
  *out = 0;
}

namespace {

bool key_at(const std::uint8_t* buffer, std::size_t limit, std::size_t position,
            std::string_view key) noexcept {
  if (limit - position <= key.size()) return false;  // the key and its terminator
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto wanted = static_cast<std::uint8_t>(key[i]);
    if (wanted >= 0x80 || buffer[position + i] != wanted) return false;
  }
  return buffer[position + key.size()] == 0;
}

}  // namespace

std::size_t find_field_entry(const std::uint8_t* buffer, std::size_t limit, std::size_t from,
                             std::string_view key, std::size_t width,
                             std::size_t* walked) noexcept {
  key = cut_key(key);
  std::size_t position = from;
  std::size_t found = no_entry;
  while (position < limit) {
    if (key_at(buffer, limit, position, key)) {
      const std::size_t flag = position + key.size() + 1;
      // Flag, value and the final zero must all lie inside the limit.
      if (limit - flag >= width + 2) found = flag;
      break;
    }
    // A run of three zero bytes is padding or a block, not an entry.
    const bool zero_before = position == 0 || buffer[position - 1] == 0;
    const bool zero_after = position + 1 >= limit || buffer[position + 1] == 0;
    if (buffer[position] == 0 && zero_before && zero_after) break;
    // Skip the key and its terminator, then the flag.
    while (position < limit && buffer[position] != 0) ++position;
    position += 2;
    if (position >= limit || buffer[position] == 0) break;
    // Skip the value and its terminator.
    while (position < limit && buffer[position] != 0) ++position;
    if (position >= limit) break;
    ++position;
  }
  if (walked != nullptr) {
    *walked = (found != no_entry ? found + width + 2 : std::min(position, limit)) - from;
  }
  return found;
}

void decode_field_value(const std::uint8_t* flag, std::size_t width, std::uint8_t* out) noexcept {
  for (std::size_t i = 0; i < width; ++i) {
    out[i] = (*flag & (1u << i)) != 0 ? flag[1 + i] : 0;
  }
}

}  // namespace eb::v3::detail
