#include "common/failure.h"

#include "common/context.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zyr::update {
namespace {

TEST(Failure, IsAStandardExceptionWithAConstantWhat) {
  try {
    throw_failure(Text::UnsafePath, std::wstring(L"a\\b"));
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "ZYR update failure");
    const auto* failure = dynamic_cast<const Failure*>(&error);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->code, Text::UnsafePath);
    EXPECT_EQ(failure->detail, L"a\\b");
    return;
  }
  FAIL() << "throw_failure returned";
}

TEST(Failure, CopiesKeepCodeAndDetail) {
  const Failure original(Text::HttpsFailed, L"HTTP 503");
  Failure copy = original;
  EXPECT_EQ(copy.code, Text::HttpsFailed);
  EXPECT_EQ(copy.detail, L"HTTP 503");
  Failure moved = std::move(copy);
  EXPECT_EQ(moved.detail, L"HTTP 503");
}

TEST(Failure, PathDetailIsThePathText) {
  try {
    throw_failure(Text::FileOperationFailed, std::filesystem::path(L"game/data.pak"));
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.detail, L"game/data.pak");
  }
}

TEST(WithErrorCode, AppendsTheNumberInBrackets) {
  EXPECT_EQ(with_error_code(L"C:\\Games", 5), L"C:\\Games [5]");
  EXPECT_EQ(with_error_code(L"", 5), L" [5]");
  EXPECT_EQ(with_error_code(L"x", 0xFFFFFFFFu), L"x [4294967295]");
}

TEST(ThrowIfCancelled, ThrowsOnlyOnceCancelled) {
  Context context;
  EXPECT_NO_THROW(throw_if_cancelled(context));
  context.cancelled = true;
  try {
    throw_if_cancelled(context);
    FAIL() << "not thrown";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.code, Text::OperationCancelled);
    EXPECT_TRUE(failure.detail.empty());
  }
}

}  // namespace
}  // namespace zyr::update
