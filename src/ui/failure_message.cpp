#include "ui/failure_message.h"

namespace zyr::update {

std::wstring failure_message(const Failure& failure, Language language) {
  std::wstring message = lookup_text(failure.code, language);
  if (!failure.detail.empty()) {
    message += L"\n\n";
    message += failure.detail;
  }
  return message;
}

}  // namespace zyr::update
