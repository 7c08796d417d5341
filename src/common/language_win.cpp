#include "common/language.h"
#include "common/windows_api.h"

namespace zyr::update {

Language detect_language() {
  return detect_language(LocaleQueries{
      [](wchar_t* buffer, int capacity) { return GetUserDefaultLocaleName(buffer, capacity); },
      [] { return static_cast<std::uint16_t>(GetUserDefaultUILanguage()); },
  });
}

}  // namespace zyr::update
