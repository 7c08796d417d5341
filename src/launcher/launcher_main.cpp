#include "launcher/launcher_main.h"

#include <string_view>

#include "common/failure.h"
#include "common/language.h"

namespace zyr::update {

int launcher_main(int count, wchar_t** arguments) {
  [[maybe_unused]] const Language language = detect_language();

  const bool helper = count == 4 && (std::wstring_view(arguments[1]) == L"--apply-update" ||
                                     std::wstring_view(arguments[1]) == L"--recover-update");
  if (count != 1 && !helper) {
    throw_failure(Text::InvalidMetadata);
  }
  return 0;
}

}  // namespace zyr::update
