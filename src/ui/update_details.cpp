#include "ui/update_details.h"

#include "zyr/build_settings.h"

namespace zyr::update {

std::wstring update_details_url() {
  return std::wstring(L"https://") + zyr::build::website_host + L"/update/index.html";
}

}  // namespace zyr::update
