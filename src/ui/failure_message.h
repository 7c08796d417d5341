// The text the player reads for a Failure.
#pragma once

#include <string>

#include "common/failure.h"
#include "common/text.h"

namespace zyr::update {

// The failure's message in `language`, then a blank line and the detail when there is one.
std::wstring failure_message(const Failure& failure, Language language);

}  // namespace zyr::update
