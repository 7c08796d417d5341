#include "common/sha256.h"

#include <openssl/evp.h>

#include "common/failure.h"

namespace zyr::update {
namespace {

struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};

void check(int result) {
  if (result != 1) {
    throw_failure(Text::InternalError);
  }
}

}  // namespace

struct Sha256::State {
  std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context{EVP_MD_CTX_new()};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!state_->context) {
    throw_failure(Text::InternalError);
  }
  check(EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr));
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(std::span<const std::uint8_t> bytes) {
  if (!state_) {
    throw_failure(Text::InternalError);
  }
  check(EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size()));
}

Digest Sha256::finish() {
  if (!state_) {
    throw_failure(Text::InternalError);
  }
  Digest digest{};
  unsigned int length = 0;
  const int result = EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length);
  state_.reset();
  check(result == 1 && length == digest.size() ? 1 : 0);
  return digest;
}

}  // namespace zyr::update
