#include "launch/handshake_protocol.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "launch/launch_key.h"

namespace zyr::update {

std::uint64_t generate_handshake_header() {
  std::random_device source;
  std::mt19937_64 generator(source());
  return generator();
}

HandshakeHeader encode_handshake_header(std::uint64_t header) {
  HandshakeHeader bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(header >> (8 * i));
  }
  return bytes;
}

std::uint64_t decode_handshake_header(const HandshakeHeader& bytes) {
  std::uint64_t header = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    header |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  }
  return header;
}

AesIv answer_iv(std::uint32_t client_process_id) {
  AesIv iv{};
  const auto id = encode_length(client_process_id);
  std::copy(id.begin(), id.end(), iv.begin());
  return iv;
}

AesIv configuration_iv(const HandshakeHeader& header) {
  AesIv iv{};
  std::copy(header.begin(), header.end(), iv.begin());
  return iv;
}

HandshakeAnswer expected_handshake_answer(std::uint32_t client_process_id,
                                          const HandshakeHeader& header) {
  const auto encrypted = aes256cbc_encrypt(launch_key(), answer_iv(client_process_id), header);
  HandshakeAnswer answer{};
  if (encrypted.size() != answer.size()) {
    throw std::logic_error("an 8-byte header encrypts to one block");
  }
  std::copy(encrypted.begin(), encrypted.end(), answer.begin());
  return answer;
}

std::vector<std::uint8_t> encrypt_configuration(const HandshakeHeader& header,
                                                std::span<const std::uint8_t> object_graph) {
  return aes256cbc_encrypt(launch_key(), configuration_iv(header), object_graph);
}

std::vector<std::uint8_t> decrypt_configuration(const HandshakeHeader& header,
                                                std::span<const std::uint8_t> ciphertext) {
  return aes256cbc_decrypt(launch_key(), configuration_iv(header), ciphertext);
}

std::array<std::uint8_t, 4> encode_length(std::uint32_t length) {
  return {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
          static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
}

std::uint32_t decode_length(const std::array<std::uint8_t, 4>& bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace zyr::update
