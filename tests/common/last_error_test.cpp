#include <gtest/gtest.h>

#include "common/failure.h"
#include "common/windows_api.h"

namespace zyr::update {
namespace {

Failure caught_last_error(Text code, const std::wstring& detail) {
  try {
    throw_last_error(code, detail);
  } catch (const Failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "throw_last_error returned";
  return Failure(Text::InternalError, L"");
}

TEST(ThrowLastError, AppendsTheErrorOfAFailedCall) {
  // A real failing call rather than SetLastError: what the launcher will see.
  ASSERT_EQ(GetFileAttributesW(L"C:\\no such folder\\file"), INVALID_FILE_ATTRIBUTES);
  const Failure failure = caught_last_error(Text::FileOperationFailed, L"C:\\Games");
  EXPECT_EQ(failure.code, Text::FileOperationFailed);
  EXPECT_EQ(failure.detail, L"C:\\Games [3]");
}

TEST(ThrowLastError, AccessDeniedAndEmptyDetail) {
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(caught_last_error(Text::FileOperationFailed, L"C:\\Games").detail, L"C:\\Games [5]");
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(caught_last_error(Text::HttpsFailed, L"").detail, L" [5]");
}

}  // namespace
}  // namespace zyr::update
