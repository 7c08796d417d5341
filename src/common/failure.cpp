#include "common/failure.h"

namespace zyr::update {

void throw_failure(Text code, const std::wstring& detail) { throw Failure(code, detail); }

void throw_failure(Text code, const std::filesystem::path& detail) {
  throw Failure(code, detail.wstring());
}

std::wstring with_error_code(const std::wstring& detail, std::uint32_t error) {
  return detail + L" [" + std::to_wstring(error) + L"]";
}

}  // namespace zyr::update
