#include "common/sha256.h"

#include <algorithm>
#include <cstddef>

#include "common/failure.h"
#include "common/scoped_handle.h"
#include "common/windows_api.h"

#include <bcrypt.h>

namespace zyr::update {
namespace {

struct AlgorithmProviderTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { BCryptCloseAlgorithmProvider(handle, 0); }
};

struct HashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle handle) noexcept { BCryptDestroyHash(handle); }
};

void check(NTSTATUS status) {
  if (!BCRYPT_SUCCESS(status)) {
    throw_failure(Text::InternalError);
  }
}

}  // namespace

struct Sha256::State {
  // Declared in this order so that the hash is destroyed before its provider is closed.
  ScopedHandle<AlgorithmProviderTraits> provider;
  ScopedHandle<HashTraits> hash;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  check(BCryptOpenAlgorithmProvider(state_->provider.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0));
  check(BCryptCreateHash(state_->provider.get(), state_->hash.put(), nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(std::span<const std::uint8_t> bytes) {
  if (!state_ || !state_->hash) {
    throw_failure(Text::InternalError);
  }
  // BCryptHashData counts in ULONG; larger buffers go in several calls.
  constexpr std::size_t kMaxChunk = 0x40000000;
  while (!bytes.empty()) {
    const std::size_t chunk = std::min(bytes.size(), kMaxChunk);
    check(BCryptHashData(state_->hash.get(), const_cast<PUCHAR>(bytes.data()),
                         static_cast<ULONG>(chunk), 0));
    bytes = bytes.subspan(chunk);
  }
}

Digest Sha256::finish() {
  if (!state_ || !state_->hash) {
    throw_failure(Text::InternalError);
  }
  Digest digest{};
  const NTSTATUS status =
      BCryptFinishHash(state_->hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
  state_.reset();
  check(status);
  return digest;
}

}  // namespace zyr::update
