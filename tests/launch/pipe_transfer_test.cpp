#include "launch/pipe_transfer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"
#include "launch/log_capture.h"

namespace zyr::update {
namespace {

using testing::LaunchLogCapture;

struct Pipe {
  Pipe() { EXPECT_TRUE(CreatePipe(read_end.put(), write_end.put(), nullptr, 4096)); }
  ScopedKernelHandle read_end;
  ScopedKernelHandle write_end;
};

void write_raw(HANDLE pipe, const std::string& bytes) {
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

// "[Launcher] <what> timeout after <n>ms" with n beyond the deadline.
void expect_timeout_line(const LaunchLogCapture& log, const std::string& what,
                         unsigned deadline_ms) {
  const std::string prefix = "[Launcher] " + what + " timeout after ";
  const auto lines = log.starting_with(prefix);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_TRUE(lines[0].ends_with("ms")) << lines[0];
  const std::string number = lines[0].substr(prefix.size(), lines[0].size() - prefix.size() - 2);
  EXPECT_GT(std::stoul(number), deadline_ms) << lines[0];
}

TEST(ReadExact, GathersPiecesThatArriveSeparately) {
  Pipe pipe;
  write_raw(pipe.write_end.get(), "abc");
  std::thread late_writer([&] {
    Sleep(50);
    write_raw(pipe.write_end.get(), "defgh");
  });
  char buffer[8] = {};
  EXPECT_TRUE(read_exact(pipe.read_end.get(), buffer, sizeof(buffer), 5000));
  late_writer.join();
  EXPECT_EQ(std::string(buffer, sizeof(buffer)), "abcdefgh");
}

TEST(ReadExact, FailsWhenTheWriterClosesEarly) {
  LaunchLogCapture log;
  Pipe pipe;
  write_raw(pipe.write_end.get(), "ab");
  pipe.write_end.reset();
  char buffer[4] = {};
  EXPECT_FALSE(read_exact(pipe.read_end.get(), buffer, sizeof(buffer), 60000));
  EXPECT_TRUE(log.lines().empty());
}

// The writer stays open and silent: a blocking read would never return.
TEST(ReadExact, DeadlineHoldsWhenNothingArrives) {
  LaunchLogCapture log;
  Pipe pipe;
  char buffer[4] = {};
  EXPECT_FALSE(read_exact(pipe.read_end.get(), buffer, sizeof(buffer), 100));
  expect_timeout_line(log, "Read", 100);
}

TEST(WriteAll, DeliversMoreThanThePipeHoldsToASlowReader) {
  Pipe pipe;
  std::vector<std::uint8_t> data(40000);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  std::vector<std::uint8_t> received;
  std::thread reader([&] {
    std::uint8_t chunk[1000];
    DWORD read = 0;
    while (ReadFile(pipe.read_end.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
      received.insert(received.end(), chunk, chunk + read);
      Sleep(1);
    }
  });
  const bool written = write_all(pipe.write_end.get(), data.data(), data.size(), 20000);
  pipe.write_end.reset();
  reader.join();
  EXPECT_TRUE(written);
  EXPECT_EQ(received, data);
}

// Nobody reads: a blocking write of more than the buffer would never return.
TEST(WriteAll, DeadlineHoldsWhenTheReaderNeverReads) {
  LaunchLogCapture log;
  Pipe pipe;
  const std::vector<std::uint8_t> data(64 * 1024, 0x42);
  EXPECT_FALSE(write_all(pipe.write_end.get(), data.data(), data.size(), 150));
  expect_timeout_line(log, "Write", 150);
}

TEST(WriteAll, FailsWhenTheReaderIsGone) {
  LaunchLogCapture log;
  Pipe pipe;
  pipe.read_end.reset();
  const char data[8] = {};
  EXPECT_FALSE(write_all(pipe.write_end.get(), data, sizeof(data), 60000));
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace zyr::update
