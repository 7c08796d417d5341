// The byte-level rules both sides of the client handshake follow: the launcher sends an
// 8-byte header, the client proves the shared key by answering with the header encrypted
// under an IV made of its own process id, and the configuration follows encrypted under an
// IV made of the header. All integers travel little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "launch/aes256cbc.h"

namespace zyr::update {

using HandshakeHeader = std::array<std::uint8_t, 8>;
using HandshakeAnswer = std::array<std::uint8_t, 16>;

// A 64-bit Mersenne Twister seeded with one value of the system's random source; its
// first output.
std::uint64_t generate_handshake_header();

HandshakeHeader encode_handshake_header(std::uint64_t header);
std::uint64_t decode_handshake_header(const HandshakeHeader& bytes);

// The process id as 4 bytes followed by 12 zero bytes.
AesIv answer_iv(std::uint32_t client_process_id);
// The 8 header bytes followed by 8 zero bytes.
AesIv configuration_iv(const HandshakeHeader& header);

// What a client with the given process id must answer to `header`.
HandshakeAnswer expected_handshake_answer(std::uint32_t client_process_id,
                                          const HandshakeHeader& header);

std::vector<std::uint8_t> encrypt_configuration(const HandshakeHeader& header,
                                                std::span<const std::uint8_t> object_graph);
std::vector<std::uint8_t> decrypt_configuration(const HandshakeHeader& header,
                                                std::span<const std::uint8_t> ciphertext);

std::array<std::uint8_t, 4> encode_length(std::uint32_t length);
std::uint32_t decode_length(const std::array<std::uint8_t, 4>& bytes);

}  // namespace zyr::update
