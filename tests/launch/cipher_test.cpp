#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "launch/aes256cbc.h"
#include "launch/handshake_protocol.h"
#include "launch/hex.h"

namespace zyr::update {
namespace {

using testing::from_hex;

Aes256Key key_of(std::string_view hex) {
  Aes256Key key{};
  const auto bytes = from_hex(hex);
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

std::string decrypt_error(const Aes256Key& key, const AesIv& iv,
                          const std::vector<std::uint8_t>& data) {
  try {
    aes256cbc_decrypt(key, iv, data);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

// The published CBC-AES256 example: the first four blocks must match it; PKCS#7 then adds a
// whole block because 64 is a multiple of 16.
TEST(Aes256Cbc, MatchesThePublishedVectorAndPadsAnExactMultipleWithAWholeBlock) {
  const Aes256Key key = key_of("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  const AesIv iv = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const auto plain = from_hex(
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
  const auto cipher = aes256cbc_encrypt(key, iv, plain);
  EXPECT_EQ(cipher, from_hex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                             "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"
                             "3f461796d6b0d6b2e0c2a72b4d80e644"));
  EXPECT_EQ(aes256cbc_decrypt(key, iv, cipher), plain);
}

TEST(Aes256Cbc, LengthIsRoundedUpToTheNextBlock) {
  const AesIv iv{};
  for (const std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u}) {
    SCOPED_TRACE(length);
    const std::vector<std::uint8_t> data(length, 0x5a);
    const auto cipher = aes256cbc_encrypt(Aes256Key{}, iv, data);
    EXPECT_EQ(cipher.size(), (length / 16 + 1) * 16);
    EXPECT_EQ(aes256cbc_decrypt(Aes256Key{}, iv, cipher), data);
  }
}

TEST(Aes256Cbc, DecryptionRejectsEmptyTruncatedAndForeignData) {
  const AesIv iv{};
  const auto cipher = aes256cbc_encrypt(Aes256Key{}, iv, std::vector<std::uint8_t>(20, 1));
  EXPECT_EQ(decrypt_error(Aes256Key{}, iv, {}), "Encrypted data is empty");
  EXPECT_EQ(decrypt_error(Aes256Key{}, iv, {cipher.begin(), cipher.end() - 1}),
            "EVP_DecryptFinal_ex failed or data is corrupted");
  // Under another key the padding of the last block does not survive (checked for these
  // exact bytes).
  EXPECT_EQ(decrypt_error(key_of(std::string(64, '1')), iv, cipher),
            "EVP_DecryptFinal_ex failed or data is corrupted");
}

// Values computed independently (Python's cryptography package) from the shared key, so
// that the key bytes, the IV layouts and the byte order are all pinned.
TEST(HandshakeProtocol, AnswerAndConfigurationUseTheSharedKeyAndTheirIvs) {
  const HandshakeHeader header = encode_handshake_header(0x0102030405060708ull);
  EXPECT_EQ(std::vector<std::uint8_t>(header.begin(), header.end()), from_hex("0807060504030201"));
  EXPECT_EQ(decode_handshake_header(header), 0x0102030405060708ull);

  const HandshakeAnswer answer = expected_handshake_answer(0x12345678, header);
  EXPECT_EQ(std::vector<std::uint8_t>(answer.begin(), answer.end()),
            from_hex("45f9f7639fa374040dd4be47848df2d8"));

  const std::string graph = "graph bytes";
  const auto cipher = encrypt_configuration(
      header, {reinterpret_cast<const std::uint8_t*>(graph.data()), graph.size()});
  EXPECT_EQ(cipher, from_hex("477639fdccec2e17a55fd6180a9cae78"));
  const auto plain = decrypt_configuration(header, cipher);
  EXPECT_EQ(std::string(plain.begin(), plain.end()), graph);
}

TEST(HandshakeProtocol, LengthsAreLittleEndian) {
  const auto bytes = encode_length(0x11223344);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), from_hex("44332211"));
  EXPECT_EQ(decode_length(bytes), 0x11223344u);
}

}  // namespace
}  // namespace zyr::update
