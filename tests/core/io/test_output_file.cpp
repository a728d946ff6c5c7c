#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "errors.h"
#include "io/output_file.h"
#include "messages.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::size_t OpenFiles() {
  return static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

TEST(OutputFile, CreateEmptiesAndWritesThroughTheBufferOnCommit) {
  ScopedWorkingFolder folder;
  WriteBytes("out.txt", "an older and longer content");
  OutputFile out = CreateOutputFile("out.txt");
  EXPECT_EQ(ReadBytes("out.txt"), "") << "emptied when created";
  // More than one buffer, in pieces of several kinds.
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    PutText(out, "line ");
    PutChar(out, static_cast<char>('0' + i % 10));
    char* room = ReserveOutput(out, 2);
    room[0] = '\r';
    room[1] = '\n';
    expected += "line " + std::string(1, static_cast<char>('0' + i % 10)) + "\r\n";
  }
  PutText(out, std::string(200000, 'y'));
  expected += std::string(200000, 'y');
  CommitOutputFile(out);
  EXPECT_EQ(ReadBytes("out.txt"), expected);
}

TEST(OutputFile, AppendNeedsAnExistingFile) {
  ScopedWorkingFolder folder;
  try {
    AppendOutputFile("results.txt");
    ADD_FAILURE() << "appended to a missing file";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "Fichier introuvable");
  }
  EXPECT_FALSE(std::filesystem::exists("results.txt"));
  WriteBytes("results.txt", "first\r\n");
  OutputFile out = AppendOutputFile("results.txt");
  PutText(out, "second\r\n");
  CommitOutputFile(out);
  EXPECT_EQ(ReadBytes("results.txt"), "first\r\nsecond\r\n");
}

TEST(OutputFile, AnAbandonedFileKeepsWhatWasFlushedAndIsClosed) {
  ScopedWorkingFolder folder;
  const std::size_t before = OpenFiles();
  {
    OutputFile out = CreateOutputFile("partial.txt");
    PutText(out, "flushed");
    FlushOutputFile(out);
    PutText(out, "still in the buffer");
    OutputFile moved = std::move(out);  // the file goes with the move
    EXPECT_EQ(out.fd, -1);
  }
  EXPECT_EQ(ReadBytes("partial.txt"), "flushed");
  EXPECT_EQ(OpenFiles(), before);
}

TEST(OutputFile, FailuresAreTheRunsIoErrors) {
  ScopedWorkingFolder folder;
  const std::size_t before = OpenFiles();
  try {
    CreateOutputFile("no-such-folder/out.txt");
    ADD_FAILURE() << "created in a missing folder";
  } catch (const RunError& error) {
    EXPECT_STREQ(error.what(), "Fichier introuvable");
  }
  // A full disk shows when the buffer is written.
  OutputFile full = CreateOutputFile("/dev/full");
  PutText(full, "text");
  try {
    CommitOutputFile(full);
    ADD_FAILURE() << "wrote to a full disk";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), IoErrorMessage(kIoDiskFull));
  }
  full = OutputFile();
  EXPECT_EQ(OpenFiles(), before);
}

}  // namespace
}  // namespace genosieve
