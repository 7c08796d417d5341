#include "common/digest.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/expect_failure.h"
#include "common/sha256.h"

namespace zyr::update {
namespace {

const char kEmptyHex[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const char kAbcHex[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(Sha256, KnownDigests) {
  const std::pair<std::string, const char*> cases[] = {
      {"", kEmptyHex},
      {"abc", kAbcHex},
      // Two blocks: the padding spills into a second block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1'000'000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [bytes, hex] : cases) {
    SCOPED_TRACE(hex);
    EXPECT_EQ(sha256_of(bytes), parse_digest_text(hex));
  }
}

TEST(Sha256, PiecesGiveTheSameDigestAsOneBuffer) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) {
    bytes += static_cast<char>(i * 31);
  }
  for (std::size_t piece : {1u, 63u, 64u, 65u, 4096u}) {
    SCOPED_TRACE(piece);
    Sha256 hash;
    for (std::size_t offset = 0; offset < bytes.size(); offset += piece) {
      hash.update(std::string_view(bytes).substr(offset, piece));
    }
    EXPECT_EQ(hash.finish(), sha256_of(bytes));
  }
}

TEST(Sha256, EmptyPiecesChangeNothing) {
  Sha256 hash;
  hash.update(std::vector<std::uint8_t>{});
  hash.update(std::string_view("abc"));
  hash.update(std::span<const std::uint8_t>());
  EXPECT_EQ(hash.finish(), parse_digest_text(kAbcHex));
}

// A failing CNG call (Text::InternalError) cannot be provoked with valid arguments, under Wine
// or on Windows; only the refusal after finish is exercised.
TEST(Sha256, TakesNothingAfterFinish) {
  Sha256 hash;
  hash.update(std::string_view("abc"));
  EXPECT_EQ(hash.finish(), parse_digest_text(kAbcHex));
  EXPECT_TRUE(throws_failure([&] { hash.update(std::string_view("x")); }, Text::InternalError));
  EXPECT_TRUE(throws_failure([&] { hash.finish(); }, Text::InternalError));
}

TEST(ParseDigestText, ReadsHexInAnyCaseAndBase64url) {
  const Digest abc = sha256_of(std::string_view("abc"));
  EXPECT_EQ(abc[0], 0xBA);
  EXPECT_EQ(abc[31], 0xAD);
  std::string upper = kAbcHex;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string mixed = kAbcHex;
  for (std::size_t i = 0; i < mixed.size(); i += 2) {
    mixed[i] = upper[i];
  }
  EXPECT_EQ(parse_digest_text(upper), abc);
  EXPECT_EQ(parse_digest_text(mixed), abc);
  const std::string base64url = base64url_encode(abc);
  ASSERT_EQ(base64url.size(), 43u);
  EXPECT_EQ(parse_digest_text(base64url), abc);
}

TEST(ParseDigestText, RefusesEverythingElse) {
  std::string with_g = kAbcHex;
  with_g[10] = 'g';
  const std::pair<const char*, std::string> cases[] = {
      {"64 characters with g", with_g},
      {"63 hex digits", std::string(kAbcHex, 63)},
      {"65 hex digits", std::string(kAbcHex) + "0"},
      {"hex with a space", " " + std::string(kAbcHex, 63)},
      {"31 bytes", base64url_encode(std::string(31, 'x'))},
      {"33 bytes", base64url_encode(std::string(33, 'x'))},
      {"32 bytes padded", base64url_encode(std::string(32, 'x')) + "="},
      {"empty", ""},
  };
  expect_each_invalid(cases, [](const auto& text) { parse_digest_text(text); });
}

}  // namespace
}  // namespace zyr::update
