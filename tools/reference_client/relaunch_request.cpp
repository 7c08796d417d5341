#include "relaunch_request.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "launch/aes256cbc.h"
#include "launch/launch_key.h"

namespace zyr::shell {
namespace {

std::array<std::uint8_t, SHA256_DIGEST_LENGTH> mac_key() {
  constexpr std::string_view label = "pdq-bivonk-mestrulofay-hiz";
  std::vector<std::uint8_t> material(label.begin(), label.end());
  const auto& key = update::launch_key();
  material.insert(material.end(), key.begin(), key.end());
  std::array<std::uint8_t, SHA256_DIGEST_LENGTH> digest{};
  SHA256(material.data(), material.size(), digest.data());
  return digest;
}

void put_le(std::uint8_t* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace

std::vector<std::uint8_t> make_launch_transaction(std::span<const std::uint8_t> object_graph,
                                                  std::uint64_t created_ms,
                                                  const std::array<std::uint8_t, 8>& iv_seed) {
  update::AesIv iv{};
  std::copy(iv_seed.begin(), iv_seed.end(), iv.begin());
  const auto ciphertext = update::aes256cbc_encrypt(update::launch_key(), iv, object_graph);

  constexpr std::size_t header_size = 32;
  constexpr std::size_t mac_size = 32;
  std::vector<std::uint8_t> file(header_size + ciphertext.size() + mac_size, 0);
  constexpr std::string_view magic = "ZYRLTX01";
  std::copy(magic.begin(), magic.end(), file.data());
  put_le(file.data() + 8, created_ms, 8);
  std::copy(iv_seed.begin(), iv_seed.end(), file.data() + 16);
  put_le(file.data() + 24, ciphertext.size(), 4);
  std::copy(ciphertext.begin(), ciphertext.end(), file.data() + header_size);

  const auto key = mac_key();
  unsigned int mac_length = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), file.data(),
           header_size + ciphertext.size(), file.data() + header_size + ciphertext.size(),
           &mac_length) == nullptr ||
      mac_length != mac_size) {
    throw std::runtime_error("HMAC failed");
  }
  return file;
}

}  // namespace zyr::shell
