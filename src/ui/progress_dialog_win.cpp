#include "ui/progress_dialog.h"

#include <utility>

#include "ui/progress_display.h"

namespace zyr::update {
namespace {

// TDF_ALLOW_DIALOG_CANCELLATION | TDF_SHOW_PROGRESS_BAR | TDF_CALLBACK_TIMER |
// TDF_SIZE_TO_CONTENT.
constexpr TASKDIALOG_FLAGS progress_dialog_flags = 0x01000A08;
constexpr UINT marquee_interval_ms = 30;

struct DialogState {
  DialogState(Language language, Job job, const ProgressDialogPlatform& platform)
      : language(language), display(language), job(std::move(job)), platform(platform) {}

  const Language language;
  Context context;
  ProgressState progress;
  ProgressDisplay display;  // user-interface thread only
  const Job job;
  const ProgressDialogPlatform& platform;
  std::thread worker;  // user-interface thread only
};

class TaskDialogWindow final : public ProgressWindow {
 public:
  explicit TaskDialogWindow(HWND window) : window_(window) {}

  void set_instruction(const std::wstring& text) override {
    SendMessageW(window_, TDM_SET_ELEMENT_TEXT, TDE_MAIN_INSTRUCTION,
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
  void set_content(const std::wstring& text) override {
    SendMessageW(window_, TDM_SET_ELEMENT_TEXT, TDE_CONTENT,
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
  void set_marquee_style(bool marquee) override {
    SendMessageW(window_, TDM_SET_MARQUEE_PROGRESS_BAR, marquee, 0);
  }
  void animate_marquee(bool running) override {
    SendMessageW(window_, TDM_SET_PROGRESS_BAR_MARQUEE, running, running ? marquee_interval_ms : 0);
  }
  void set_position(int position) override {
    SendMessageW(window_, TDM_SET_PROGRESS_BAR_POS, static_cast<WPARAM>(position), 0);
  }
  void enable_cancel(bool enabled) override {
    SendMessageW(window_, TDM_ENABLE_BUTTON, IDCANCEL, enabled);
  }
  void click_cancel() override { SendMessageW(window_, TDM_CLICK_BUTTON, IDCANCEL, 0); }

 private:
  HWND window_;
};

void start_worker(DialogState& state, HWND window) {
  try {
    state.worker = state.platform.start_thread(
        [&state, window] { run_job(state.job, state.context, window, state.progress); });
  } catch (...) {
    // No worker means no job to wait for: end the dialog at the next tick with the failure
    // instead of leaving it open.
    state.context.cancelled.exchange(true);
    state.progress.finish(Failure(Text::InternalError, std::wstring()));
  }
}

HRESULT CALLBACK progress_dialog_callback(HWND window, UINT notification, WPARAM wparam, LPARAM,
                                          LONG_PTR data) {
  auto& state = *reinterpret_cast<DialogState*>(data);
  switch (notification) {
    case TDN_CREATED:
      SendMessageW(window, TDM_SET_PROGRESS_BAR_RANGE, 0, MAKELPARAM(0, progress_bar_range));
      start_worker(state, window);
      return S_OK;
    case TDN_BUTTON_CLICKED:
      if (wparam == IDCANCEL && !state.display.closing()) {
        state.progress.request_cancel(state.context);
        return S_FALSE;  // stays open until the job has noticed and ended
      }
      return S_OK;
    case TDN_TIMER: {
      TaskDialogWindow dialog(window);
      state.display.on_timer(state.progress.snapshot(), state.context.cancelled.load(), dialog);
      return S_OK;
    }
    default:
      return S_OK;
  }
}

}  // namespace

ProgressDialogPlatform default_progress_dialog_platform() {
  return ProgressDialogPlatform{
      [](const TASKDIALOGCONFIG& config) {
        return TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
      },
      [](std::function<void()> body) { return std::thread(std::move(body)); },
  };
}

std::optional<Failure> progress_dialog(Language language, Job job) {
  return progress_dialog(language, std::move(job), default_progress_dialog_platform());
}

std::optional<Failure> progress_dialog(Language language, Job job,
                                       const ProgressDialogPlatform& platform) {
  DialogState state(language, std::move(job), platform);
  state.context.progress = [&progress = state.progress](Text text, std::size_t done,
                                                        std::size_t total,
                                                        const std::wstring& name) {
    progress.report(text, done, total, name);
  };

  TASKDIALOG_BUTTON cancel_button{IDCANCEL, lookup_text(Text::Cancel, language)};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof(config);
  config.dwFlags = progress_dialog_flags;
  config.pszWindowTitle = lookup_text(Text::AppTitle, language);
  config.pszMainInstruction = lookup_text(Text::CheckingForUpdates, language);
  config.pszContent = L" ";
  config.cButtons = 1;
  config.pButtons = &cancel_button;
  config.nDefaultButton = IDCANCEL;
  config.pfCallback = progress_dialog_callback;
  config.lpCallbackData = reinterpret_cast<LONG_PTR>(&state);

  const HRESULT shown = platform.show_dialog(config);
  const bool job_ended = state.progress.snapshot().finished;
  if (FAILED(shown) || !job_ended) {
    // Also when the dialog went away while the job still runs: nobody could cancel it now.
    state.context.cancelled.exchange(true);
  }
  const bool worker_started = state.worker.joinable();
  if (worker_started) {
    state.worker.join();
  }

  // A dialog that "succeeded" without ever being created (no display) never ran the job:
  // that is not a success either.
  if (FAILED(shown) || (!worker_started && !job_ended)) {
    return Failure(Text::InternalError, std::wstring());
  }
  return state.progress.failure();
}

}  // namespace zyr::update
