// ZYR_ENGINE.exe and the graphics check as separate processes under Wine with a display:
// exit codes through GetExitCodeProcess, dialogs found by the child's process id.
//
// The graphics libraries are the fakes of tests/doubles/fake_graphics, placed in the
// prefix's system32 for the time of this test. ctest starts this test with
// WINEDLLOVERRIDES="dxgi,d3d12=n", which every child inherits (Wine takes the load order
// from the Unix environment, not from the environment block CreateProcessW passes), so the
// children load the fakes; a missing d3d12.dll is then a missing file.
//
// The launcher runs as a copy in a folder on drive C, as a downloaded launcher would: the
// build tree is reached through Wine's Z: drive, whose root Wine reports as a reparse point.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "common/text.h"
#include "ui_driver/ui_driver.h"

namespace zyr::update {
namespace {

using testing::Dialog;
using Environment = std::map<std::wstring, std::wstring>;

const Language language = Language::English;
const std::wstring title = lookup_text(Text::AppTitle, language);
std::wstring text(Text code) { return lookup_text(code, language); }

// The child's dialog titled as the launcher's, or nothing once the child has exited.
std::optional<Dialog> wait_for_dialog_of(testing::ChildProcess& child,
                                         const std::function<bool(const Dialog&)>& accept = {}) {
  return testing::wait_for_dialog(child.id, title, accept, std::chrono::seconds(10), [&] {
    return WaitForSingleObject(child.process.get(), 0) == WAIT_OBJECT_0;
  });
}

std::filesystem::path system_directory() {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  return system;
}

// The fakes replace Wine's placeholder files in system32; the originals come back at the end
// (processes that do not ask for native libraries load Wine's own either way).
class FakeGraphicsLibraries {
 public:
  FakeGraphicsLibraries() {
    install(L"dxgi.dll", testing::build_path_from_environment("ZYR_FAKE_DXGI"));
    install(L"d3d12.dll", testing::build_path_from_environment("ZYR_FAKE_D3D12"));
  }
  ~FakeGraphicsLibraries() {
    for (const auto& name : {L"dxgi.dll", L"d3d12.dll"}) {
      const auto target = system_directory() / name;
      const auto original = system_directory() / (std::wstring(name) + L".zyr-original");
      if (std::filesystem::exists(original)) {
        MoveFileExW(original.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
      }
    }
  }

 private:
  static void install(const wchar_t* name, const std::wstring& fake) {
    const auto target = system_directory() / name;
    const auto original = system_directory() / (std::wstring(name) + L".zyr-original");
    // A copy left by an interrupted run is the real original: keep it.
    if (!std::filesystem::exists(original)) {
      ASSERT_TRUE(CopyFileW(target.c_str(), original.c_str(), TRUE)) << GetLastError();
    }
    ASSERT_TRUE(CopyFileW(fake.c_str(), target.c_str(), FALSE)) << GetLastError();
  }
};

// Moves a library of system32 aside for as long as it lives.
class HiddenSystemLibrary {
 public:
  explicit HiddenSystemLibrary(const wchar_t* name)
      : path_(system_directory() / name), aside_(path_.native() + L".zyr-hidden") {
    EXPECT_TRUE(MoveFileExW(path_.c_str(), aside_.c_str(), 0)) << GetLastError();
  }
  ~HiddenSystemLibrary() { MoveFileExW(aside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING); }

 private:
  std::filesystem::path path_;
  std::filesystem::path aside_;
};

class LauncherProcessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fakes_ = new FakeGraphicsLibraries; }
  static void TearDownTestSuite() { delete fakes_; }

  void SetUp() override {
    root_ = testing::fresh_temp_directory(L"zyr-launcher-process");
    std::filesystem::create_directories(root_ / L"download");
    log_ = root_ / L"graphics.log";
    launcher_ = (root_ / L"download\\ZYR_ENGINE.exe").native();
    std::filesystem::copy_file(testing::build_path_from_environment("ZYR_LAUNCHER_EXE"), launcher_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  Environment graphics(const std::wstring& adapters) {
    // An empty list removes the variable: no adapters at all.
    return Environment{{L"ZYR_FAKE_ADAPTERS", adapters}, {L"ZYR_FAKE_GRAPHICS_LOG", log_.native()}};
  }

  std::vector<std::string> log_lines(const std::string& prefix = "") {
    std::vector<std::string> lines;
    std::ifstream file(log_);
    for (std::string line; std::getline(file, line);) {
      if (line.rfind(prefix, 0) == 0) {
        lines.push_back(line);
      }
    }
    return lines;
  }

  static inline FakeGraphicsLibraries* fakes_ = nullptr;
  std::filesystem::path root_;
  std::filesystem::path log_;
  std::wstring launcher_;
};

TEST_F(LauncherProcessTest, TheFirstCapableHardwareAdapterDecides) {
  const struct {
    const char* name;
    const wchar_t* adapters;
    bool with_d3d12;
    bool supported;
    std::vector<std::string> device_tests;
  } cases[] = {
      {"software rasterizer only", L"software:c100", true, false, {}},
      {"no adapter", L"", true, false, {}},
      {"discrete too old, integrated passes",
       L"hardware:a000;hardware:c000",
       true,
       true,
       {"device 0 level b000 fail", "device 1 level b000 pass"}},
      {"software skipped",
       L"software:c100;hardware:b000",
       true,
       true,
       {"device 1 level b000 pass"}},
      {"first passes", L"hardware:c000;hardware:a000", true, true, {"device 0 level b000 pass"}},
      {"no d3d12.dll", L"hardware:c000", false, false, {}},
  };
  const std::wstring probe = testing::build_path_from_environment("ZYR_DIRECT3D12_PROBE");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(log_);
    std::optional<HiddenSystemLibrary> hidden;
    if (!c.with_d3d12) {
      hidden.emplace(L"d3d12.dll");
    }
    auto child = testing::start_process(probe, L"", graphics(c.adapters));
    EXPECT_EQ(child.wait_for_exit(), c.supported ? 10u : 20u);
    EXPECT_EQ(log_lines("device"), c.device_tests);
    if (!c.with_d3d12) {
      EXPECT_TRUE(log_lines().empty()) << "DXGI was used although d3d12.dll was missing";
      continue;
    }
    // Every adapter asked for in high-performance order (2), and everything released.
    const auto enumerated = log_lines("enum");
    ASSERT_FALSE(enumerated.empty());
    for (std::size_t i = 0; i < enumerated.size(); ++i) {
      EXPECT_EQ(enumerated[i], "enum " + std::to_string(i) + " preference 2");
    }
    EXPECT_EQ(log_lines("release adapter").size(),
              c.supported ? enumerated.size() : enumerated.size() - 1);
    EXPECT_EQ(log_lines("release factory").size(), 1u);
  }
}

TEST_F(LauncherProcessTest, WithoutDirect3D12TheLauncherExplainsAndExitsWithOne) {
  // With an extra argument too: the check comes before the arguments.
  for (const wchar_t* arguments : {L"", L"extra"}) {
    SCOPED_TRACE(std::filesystem::path(arguments).string());
    auto child = testing::start_process(launcher_, arguments, graphics(L"software:c100"));
    const auto dialog = wait_for_dialog_of(child);
    ASSERT_TRUE(dialog) << "no dialog appeared";
    EXPECT_EQ(dialog->instruction(), text(Text::OperationFailed));
    EXPECT_EQ(dialog->content(), text(Text::DirectX12Unsupported));
    ASSERT_EQ(dialog->buttons().size(), 1u);
    EXPECT_EQ(dialog->buttons()[0].id, IDOK);
    dialog->click_task_button(IDOK);
    EXPECT_EQ(child.wait_for_exit(), 1u);
  }
}

// The entry's catch-all: a message box with the internal-error text.
void expect_internal_error_box(testing::ChildProcess& child) {
  const auto box = wait_for_dialog_of(child);
  ASSERT_TRUE(box) << "no message box appeared";
  const auto texts = box->texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), text(Text::InternalError)), texts.end());
  EXPECT_EQ(box->instruction().find(text(Text::OperationFailed)), std::wstring::npos);
  box->click_button(IDOK);
  EXPECT_EQ(child.wait_for_exit(), 1u);
}

TEST_F(LauncherProcessTest, AnUnknownCommandLineEndsInTheInternalErrorBox) {
  for (const wchar_t* arguments :
       {L"--Apply-Update 1 2", L"--apply-update", L"--apply-update 1 2 3", L"start"}) {
    SCOPED_TRACE(std::filesystem::path(arguments).string());
    auto child = testing::start_process(launcher_, arguments, graphics(L"hardware:c000"));
    expect_internal_error_box(child);
  }
}

TEST_F(LauncherProcessTest, AHelperRunsOnlyAsTheInstallationsHelperCopy) {
  const auto place = [&](const std::wstring& relative) {
    const auto copy = root_ / relative;
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file(launcher_, copy);
    return copy.native();
  };
  // No capable adapter for either: a helper start never checks the graphics.
  auto refused = testing::start_process(place(L"a\\.update\\Helper\\ZYR_ENGINE.apply.exe"),
                                        L"--apply-update 1 2", graphics(L"software:c100"));
  expect_internal_error_box(refused);

  // Accepted: the job runs and its failure is offered with Exit alone.
  auto accepted = testing::start_process(place(L"b\\.update\\helper\\zyr_engine.APPLY.exe"),
                                         L"--apply-update 1 2", graphics(L"software:c100"));
  const auto dialog = wait_for_dialog_of(
      accepted, [](const Dialog& d) { return d.instruction() == text(Text::OperationFailed); });
  ASSERT_TRUE(dialog) << "no failure message appeared";
  ASSERT_EQ(dialog->buttons().size(), 1u);
  EXPECT_EQ(dialog->buttons()[0].id, IDCANCEL);
  EXPECT_EQ(dialog->buttons()[0].label, text(Text::Exit));
  dialog->close();
  EXPECT_EQ(accepted.wait_for_exit(), 1u);
}

}  // namespace
}  // namespace zyr::update
