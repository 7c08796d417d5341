// Runs detect_language against the locale Wine reports. ctest starts this executable once
// per locale, with LC_ALL set for the process and the expected Language value in
// ZYR_EXPECTED_LANGUAGE.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/language.h"

namespace zyr::update {
namespace {

TEST(DetectLanguageUnderWine, FollowsTheUserLocale) {
  const char* expected = std::getenv("ZYR_EXPECTED_LANGUAGE");
  ASSERT_NE(expected, nullptr) << "ZYR_EXPECTED_LANGUAGE is not set";
  EXPECT_EQ(static_cast<int>(detect_language()), std::stoi(expected));
}

}  // namespace
}  // namespace zyr::update
