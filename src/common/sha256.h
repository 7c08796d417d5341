// Incremental SHA-256 for data that arrives in pieces (files streamed through a buffer).
// Every failure of the underlying hash service throws Failure(Text::InternalError) with an
// empty detail.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "common/digest.h"

namespace zyr::update {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(std::span<const std::uint8_t> bytes);
  void update(std::string_view bytes);

  // Completes the hash. The object takes no more data afterwards: update and finish then
  // throw.
  Digest finish();

 private:
  struct State;  // the platform's hash handles
  std::unique_ptr<State> state_;
};

}  // namespace zyr::update
