// Choosing the player's language from the user's locale and display language.
#pragma once

#include <cstdint>
#include <functional>

#include "common/text.h"

namespace zyr::update {

// Size of the locale-name buffer, LOCALE_NAME_MAX_LENGTH.
inline constexpr int locale_name_capacity = 85;

// The two platform queries the detection rests on, replaceable for tests.
struct LocaleQueries {
  // Writes the user's default locale name into a zeroed buffer of `capacity` UTF-16 units;
  // returns the units written including the terminator, or 0 on failure.
  std::function<int(wchar_t* buffer, int capacity)> user_default_locale_name;
  // The user's default UI language identifier (primary language in the low 10 bits).
  std::function<std::uint16_t()> user_default_ui_language;
};

// A Chinese user locale decides alone; otherwise the display language does, and anything
// but Chinese gives English.
Language detect_language(const LocaleQueries& queries);

// detect_language over GetUserDefaultLocaleName and GetUserDefaultUILanguage.
Language detect_language();

}  // namespace zyr::update
