// AES-256 in CBC mode with PKCS#7 padding, the cipher of the client handshake and of the
// launch-transaction file. Failures of the cipher library throw std::runtime_error naming
// the call that failed.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zyr::update {

using Aes256Key = std::array<std::uint8_t, 32>;
using AesIv = std::array<std::uint8_t, 16>;

// The result is the data length rounded up to the next multiple of 16; a length that is
// already a multiple gains a whole block of padding.
std::vector<std::uint8_t> aes256cbc_encrypt(const Aes256Key& key, const AesIv& iv,
                                            std::span<const std::uint8_t> data);

// Throws "Encrypted data is empty" for empty input and reports wrong padding (also from a
// wrong key or IV) as "EVP_DecryptFinal_ex failed or data is corrupted".
std::vector<std::uint8_t> aes256cbc_decrypt(const Aes256Key& key, const AesIv& iv,
                                            std::span<const std::uint8_t> data);

}  // namespace zyr::update
