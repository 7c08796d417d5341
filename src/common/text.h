// The launcher's message identifiers and languages, and the one table that holds every
// text the player can read.
#pragma once

#include <cstdint>

namespace zyr::update {

enum class Language : std::int32_t {
  SimplifiedChinese = 0,
  TraditionalChinese = 1,
  English = 2,
};

enum class Text : std::int32_t {
  AppTitle = 0,
  CheckingForUpdates = 1,
  RecoveringInstallation = 2,
  DownloadingUpdate = 3,
  VerifyingFiles = 4,
  ExtractingUpdate = 5,
  PreparingInstallation = 6,
  Installing = 7,
  StartingClient = 8,
  OperationCancelled = 9,
  OperationFailed = 10,
  Retry = 11,
  Cancel = 12,
  LauncherAlreadyRunning = 13,
  ClientStillRunning = 14,
  UnsupportedVersion = 15,
  UpdateCheckUnavailable = 16,
  InvalidMetadata = 17,
  SignatureInvalid = 18,
  DigestMismatch = 19,
  UnsafePath = 20,
  FileOperationFailed = 21,
  HttpsFailed = 22,
  DiskSpaceLow = 23,
  LocalInstallIncomplete = 24,
  InstallFailedRecoveryPending = 25,
  ClientStartFailed = 26,
  EditorPluginListInvalid = 27,
  UnsupportedPackageFormat = 28,
  Completed = 29,
  UpdateAvailablePrompt = 30,
  UpdateRequiredPrompt = 31,
  UpdateNow = 32,
  ViewUpdateDetails = 33,
  Exit = 34,
  Ok = 35,
  ClosingClient = 36,
  InstallComplete = 37,
  ShortcutPlaced = 38,
  WaitingForLauncherExit = 39,
  InstallDirWritableHint = 40,
  ChooseInstallDir = 41,
  DirectX12Unsupported = 42,
  InternalError = 43,
};

// Number of rows of the message table; values 0 to text_count - 1 have a row.
inline constexpr int text_count = 44;

// Text of `text` in `language`. Never null: a value without a row gives "ZYR Engine", and a
// language value other than the two Chinese ones gives English.
const wchar_t* lookup_text(Text text, Language language) noexcept;

}  // namespace zyr::update
