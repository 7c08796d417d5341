#include "ui_driver/ui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace zyr::testing {
namespace {

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring class_name(HWND window) {
  wchar_t name[64]{};
  GetClassNameW(window, name, 64);
  return name;
}

std::vector<HWND> children_of(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

bool same_class(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

HWND Dialog::owner() const { return GetWindow(window_, GW_OWNER); }

bool Dialog::exists() const { return IsWindow(window_) != FALSE; }

std::wstring Dialog::title() const { return window_text(window_); }

std::vector<std::wstring> Dialog::texts() const {
  std::vector<std::wstring> texts;
  for (HWND child : children_of(window_)) {
    if (same_class(class_name(child), L"Static")) {
      std::wstring text = window_text(child);
      if (!text.empty()) {
        texts.push_back(std::move(text));
      }
    }
  }
  return texts;
}

std::wstring Dialog::instruction() const {
  auto all = texts();
  return all.empty() ? std::wstring() : all[0];
}

std::wstring Dialog::content() const {
  auto all = texts();
  return all.size() < 2 ? std::wstring() : all[1];
}

std::vector<DialogButton> Dialog::buttons() const {
  std::vector<DialogButton> buttons;
  for (HWND child : children_of(window_)) {
    if (same_class(class_name(child), L"Button")) {
      buttons.push_back(
          DialogButton{GetDlgCtrlID(child), window_text(child), IsWindowEnabled(child) != FALSE});
    }
  }
  return buttons;
}

std::optional<DialogButton> Dialog::button(int id) const {
  for (auto& candidate : buttons()) {
    if (candidate.id == id) {
      return candidate;
    }
  }
  return std::nullopt;
}

std::optional<ProgressBarView> Dialog::progress_bar() const {
  for (HWND child : children_of(window_)) {
    if (same_class(class_name(child), PROGRESS_CLASSW)) {
      const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
      return ProgressBarView{static_cast<int>(SendMessageW(child, PBM_GETPOS, 0, 0)),
                             (style & PBS_MARQUEE) != 0};
    }
  }
  return std::nullopt;
}

void Dialog::click_task_button(int id) const {
  PostMessageW(window_, TDM_CLICK_BUTTON, static_cast<WPARAM>(id), 0);
}

void Dialog::click_button(int id) const { PostMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0); }

void Dialog::press_escape() const {
  PostMessageW(window_, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(window_, WM_KEYUP, VK_ESCAPE, 0);
}

void Dialog::close() const { PostMessageW(window_, WM_CLOSE, 0, 0); }

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
}

std::vector<Dialog> dialogs_of(DWORD process_id) {
  struct Search {
    DWORD process_id;
    std::vector<Dialog> found;
  } search{process_id, {}};
  EnumWindows(
      [](HWND window, LPARAM data) {
        auto& search = *reinterpret_cast<Search*>(data);
        DWORD owner_process = 0;
        GetWindowThreadProcessId(window, &owner_process);
        if (owner_process == search.process_id && IsWindowVisible(window) &&
            class_name(window) == L"#32770") {
          search.found.emplace_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::optional<Dialog> wait_for_dialog(DWORD process_id, const std::wstring& title,
                                      const std::function<bool(const Dialog&)>& accept,
                                      std::chrono::milliseconds timeout,
                                      const std::function<bool()>& give_up) {
  std::optional<Dialog> result;
  wait_until(
      [&] {
        if (give_up && give_up()) {
          return true;
        }
        for (const Dialog& dialog : dialogs_of(process_id)) {
          if (dialog.title() == title && (!accept || accept(dialog))) {
            result = dialog;
            return true;
          }
        }
        return false;
      },
      timeout);
  return result;
}

std::optional<Dialog> wait_for_dialog_showing(const std::wstring& title,
                                              const std::wstring& first_text,
                                              std::chrono::milliseconds timeout) {
  return wait_for_dialog(
      GetCurrentProcessId(), title,
      [&](const Dialog& dialog) { return dialog.instruction() == first_text; }, timeout);
}

std::optional<DWORD> ChildProcess::wait_for_exit(std::chrono::milliseconds timeout) {
  if (WaitForSingleObject(process.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 255);
    WaitForSingleObject(process.get(), INFINITE);
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) {
    return std::nullopt;
  }
  return code;
}

ChildProcess start_process(const std::wstring& executable, const std::wstring& arguments,
                           const std::map<std::wstring, std::wstring>& environment) {
  // The environment block: this process's variables, then the overrides. Names compare
  // case-insensitively on Windows.
  std::map<std::wstring, std::wstring, bool (*)(const std::wstring&, const std::wstring&)>
      variables([](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
      });
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring line(entry);
    const std::size_t equals = line.find(L'=', 1);
    if (equals != std::wstring::npos) {
      variables[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : environment) {
    if (value.empty()) {
      variables.erase(name);
    } else {
      variables[name] = value;
    }
  }
  std::wstring environment_block;
  for (const auto& [name, value] : variables) {
    environment_block += name + L"=" + value;
    environment_block += L'\0';
  }
  environment_block += L'\0';

  std::wstring command_line = L"\"" + executable + L"\"";
  if (!arguments.empty()) {
    command_line += L" " + arguments;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(executable.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, environment_block.data(), nullptr, &startup,
                      &information)) {
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
  }
  CloseHandle(information.hThread);
  ChildProcess child;
  child.process.reset(information.hProcess);
  child.id = information.dwProcessId;
  return child;
}

std::filesystem::path fresh_temp_directory(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1]{};
  GetTempPathW(MAX_PATH + 1, temp);
  const auto directory =
      std::filesystem::path(temp) / (name + L"-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  return directory;
}

std::wstring build_path_from_environment(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || value[0] != '/') {
    throw std::runtime_error(std::string(variable) + " is not set to an absolute path");
  }
  std::wstring path = L"Z:";
  for (const char* c = value; *c != '\0'; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
  }
  return path;
}

}  // namespace zyr::testing
