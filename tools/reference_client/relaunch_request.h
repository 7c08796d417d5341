// The launch-transaction file a client leaves to be started again with a new
// configuration: a 32-byte header (magic "ZYRLTX01", creation time in ms since 1970 UTC,
// 8-byte IV seed, ciphertext length, 4 bytes the launcher does not interpret), the object
// graph encrypted with the launch key under the IV seed followed by 8 zero bytes, and an
// HMAC-SHA256 of header and ciphertext keyed with SHA-256("pdq-bivonk-mestrulofay-hiz" ||
// launch key). Integers are little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zyr::shell {

std::vector<std::uint8_t> make_launch_transaction(std::span<const std::uint8_t> object_graph,
                                                  std::uint64_t created_ms,
                                                  const std::array<std::uint8_t, 8>& iv_seed);

}  // namespace zyr::shell
