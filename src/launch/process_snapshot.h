// Running processes found by executable file name, as a toolhelp snapshot reports it.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace zyr::update {

// Calls `visit` with the id of every process whose executable file name equals
// `image_name` ignoring case, in snapshot order, until `visit` returns false. Returns false
// when no snapshot could be taken.
bool for_each_process_named(std::wstring_view image_name,
                            const std::function<bool(std::uint32_t process_id)>& visit);

}  // namespace zyr::update
