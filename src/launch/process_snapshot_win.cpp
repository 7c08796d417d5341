#include "launch/process_snapshot.h"

#include "common/scoped_handle.h"
#include "common/windows_api.h"

#include <tlhelp32.h>

namespace zyr::update {
namespace {

bool same_name_ignoring_case(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool for_each_process_named(std::wstring_view image_name,
                            const std::function<bool(std::uint32_t process_id)>& visit) {
  // Toolhelp snapshots are closed with CloseHandle, and invalid at INVALID_HANDLE_VALUE.
  const ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    return false;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (same_name_ignoring_case(entry.szExeFile, image_name) && !visit(entry.th32ProcessID)) {
      break;
    }
  }
  return true;
}

}  // namespace zyr::update
