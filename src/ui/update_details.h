// Where the player reads what an update brings.
#pragma once

#include <string>

namespace zyr::update {

// "https://" + the website host of the build + "/update/index.html".
std::wstring update_details_url();

}  // namespace zyr::update
