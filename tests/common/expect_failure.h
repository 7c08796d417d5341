// Checks that a call throws Failure with a given code and detail, for table-driven tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/failure.h"

namespace zyr::update {

template <typename Call>
::testing::AssertionResult throws_failure(Call&& call, Text code, const std::wstring& detail = {}) {
  try {
    std::forward<Call>(call)();
  } catch (const Failure& failure) {
    if (failure.code != code || failure.detail != detail) {
      return ::testing::AssertionFailure()
             << "Failure with code " << static_cast<int>(failure.code) << " and a detail of "
             << failure.detail.size() << " units instead of code " << static_cast<int>(code);
    }
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "nothing thrown";
}

// Runs `call` on each input of a table of (name, input) rows, expecting
// Failure(Text::InvalidMetadata) with an empty detail for every row.
template <typename Rows, typename Call>
void expect_each_invalid(const Rows& rows, Call call) {
  for (const auto& [name, input] : rows) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(throws_failure([&] { call(input); }, Text::InvalidMetadata));
  }
}

}  // namespace zyr::update
