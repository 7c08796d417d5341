// The 32-byte key the launcher shares with the client: it proves the handshake, encrypts the
// configuration on the pipe and protects the launch-transaction file the client leaves.
#pragma once

#include <array>
#include <cstdint>

namespace zyr::update {

using LaunchKey = std::array<std::uint8_t, 32>;

const LaunchKey& launch_key();

}  // namespace zyr::update
