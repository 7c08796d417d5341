#include "common/sha256.h"

namespace zyr::update {

void Sha256::update(std::string_view bytes) {
  update(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace zyr::update
