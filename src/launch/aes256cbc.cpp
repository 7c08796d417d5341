#include "launch/aes256cbc.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>
#include <stdexcept>

namespace zyr::update {
namespace {

constexpr std::size_t kBlockSize = 16;

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const noexcept { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

// The names of the calls in the error texts differ between the two directions; the steps
// do not.
struct CipherCalls {
  int (*init)(EVP_CIPHER_CTX*, const EVP_CIPHER*, ENGINE*, const unsigned char*,
              const unsigned char*);
  int (*update)(EVP_CIPHER_CTX*, unsigned char*, int*, const unsigned char*, int);
  int (*final)(EVP_CIPHER_CTX*, unsigned char*, int*);
  const char* init_failed;
  const char* update_failed;
  const char* final_failed;
};

std::vector<std::uint8_t> run_cipher(const CipherCalls& calls, const Aes256Key& key,
                                     const AesIv& iv, std::span<const std::uint8_t> data) {
  if (data.size() > static_cast<std::size_t>(INT_MAX) - kBlockSize) {
    throw std::runtime_error(calls.update_failed);
  }
  // Each failure leaves through the context's owner, so it is freed before the exception
  // reaches the caller.
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) {
    throw std::runtime_error("EVP_CIPHER_CTX_new failed");
  }
  if (calls.init(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data()) != 1) {
    throw std::runtime_error(calls.init_failed);
  }
  std::vector<std::uint8_t> output(data.size() + kBlockSize);
  int updated = 0;
  if (calls.update(context.get(), output.data(), &updated, data.data(),
                   static_cast<int>(data.size())) != 1) {
    throw std::runtime_error(calls.update_failed);
  }
  int finished = 0;
  if (calls.final(context.get(), output.data() + updated, &finished) != 1) {
    throw std::runtime_error(calls.final_failed);
  }
  output.resize(static_cast<std::size_t>(updated) + static_cast<std::size_t>(finished));
  return output;
}

}  // namespace

std::vector<std::uint8_t> aes256cbc_encrypt(const Aes256Key& key, const AesIv& iv,
                                            std::span<const std::uint8_t> data) {
  static constexpr CipherCalls encrypt = {EVP_EncryptInit_ex,         EVP_EncryptUpdate,
                                          EVP_EncryptFinal_ex,        "EVP_EncryptInit_ex failed",
                                          "EVP_EncryptUpdate failed", "EVP_EncryptFinal_ex failed"};
  return run_cipher(encrypt, key, iv, data);
}

std::vector<std::uint8_t> aes256cbc_decrypt(const Aes256Key& key, const AesIv& iv,
                                            std::span<const std::uint8_t> data) {
  if (data.empty()) {
    throw std::runtime_error("Encrypted data is empty");
  }
  static constexpr CipherCalls decrypt = {
      EVP_DecryptInit_ex,         EVP_DecryptUpdate,
      EVP_DecryptFinal_ex,        "EVP_DecryptInit_ex failed",
      "EVP_DecryptUpdate failed", "EVP_DecryptFinal_ex failed or data is corrupted"};
  return run_cipher(decrypt, key, iv, data);
}

}  // namespace zyr::update
