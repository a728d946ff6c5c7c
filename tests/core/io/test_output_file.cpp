#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "errors.h"
#include "io/io_error.h"
#include "io/output_file.h"
#include "messages.h"
#include "support/current_folder.h"
#include "support/full_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::InFullFolder;
using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::size_t OpenFiles() {
  return static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

// The names in `folder` that are temporary files of the writers.
std::vector<std::string> TemporaryFiles(const std::filesystem::path& folder = ".") {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(kTemporaryPrefix)) names.push_back(name);
  }
  return names;
}

std::string ErrorOf(const WorkingFolder& folder, const std::string& name) {
  try {
    OutputFile out = CreateOutputFile(folder, name);
    PutText(out, "new");
    CommitOutputFile(out);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

TEST(OutputFile, TheFinalNameKeepsItsContentUntilTheCommit) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  WriteBytes("out.txt", "an older and longer content");
  OutputFile out = CreateOutputFile(here, "out.txt");
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
  EXPECT_EQ(ReadBytes("out.txt"), "an older and longer content");
  EXPECT_EQ(TemporaryFiles().size(), 1u);
  CommitOutputFile(out);
  EXPECT_EQ(ReadBytes("out.txt"), expected);
  EXPECT_TRUE(TemporaryFiles().empty());

  // A name with a folder part: the temporary file is made beside the final one.
  std::filesystem::create_directory("sub");
  OutputFile inSub = CreateOutputFile(here, "sub/out.txt");
  EXPECT_EQ(TemporaryFiles("sub").size(), 1u);
  WriteWholeFile(here, "other.txt", "whole\r\n");
  PutText(inSub, "in a folder");
  CommitOutputFile(inSub);
  EXPECT_EQ(ReadBytes("sub/out.txt"), "in a folder");
  EXPECT_EQ(ReadBytes("other.txt"), "whole\r\n");
  EXPECT_TRUE(TemporaryFiles("sub").empty());
}

TEST(OutputFile, AnAbandonedFileLeavesTheOldContentAndNoTemporaryFile) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  WriteBytes("partial.txt", "previous");
  const std::size_t before = OpenFiles();
  {
    OutputFile out = CreateOutputFile(here, "partial.txt");
    PutText(out, "flushed");
    FlushOutputFile(out);
    PutText(out, "still in the buffer");
    OutputFile moved = std::move(out);  // the file goes with the move
    EXPECT_EQ(out.fd, -1);
    EXPECT_EQ(TemporaryFiles().size(), 1u);
  }
  EXPECT_EQ(ReadBytes("partial.txt"), "previous");
  EXPECT_TRUE(TemporaryFiles().empty());
  EXPECT_EQ(OpenFiles(), before);
  {
    OutputFile out = CreateOutputFile(here, "new.txt");
    PutText(out, "never committed");
  }
  EXPECT_FALSE(std::filesystem::exists("new.txt"));
  EXPECT_TRUE(TemporaryFiles().empty());
}

TEST(OutputFile, LinksUnderTheNameAreReplacedNotWrittenThrough) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  std::filesystem::create_directory("elsewhere");
  WriteBytes("elsewhere/target.txt", "someone else's file");
  std::filesystem::create_symlink("elsewhere/target.txt", "symlink.txt");
  std::filesystem::create_symlink("elsewhere/not-yet.txt", "dangling.txt");
  std::filesystem::create_hard_link("elsewhere/target.txt", "hardlink.txt");
  for (const char* name : {"symlink.txt", "dangling.txt", "hardlink.txt"}) {
    SCOPED_TRACE(name);
    WriteWholeFile(here, name, "the Run's file");
    EXPECT_EQ(ReadBytes(name), "the Run's file");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(name)));
    EXPECT_EQ(std::filesystem::hard_link_count(name), 1u);
  }
  EXPECT_EQ(ReadBytes("elsewhere/target.txt"), "someone else's file");
  EXPECT_FALSE(std::filesystem::exists("elsewhere/not-yet.txt"));
}

// The intermediate files' way of replacing the old file: the same outcome as a rename for
// a new name, an existing file and the links that stand under the name.
TEST(OutputFile, AnExchangingCommitReplacesLikeARename) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  std::filesystem::create_directory("elsewhere");
  WriteBytes("elsewhere/target.txt", "someone else's file");
  WriteBytes("old.txt", "an older and longer content");
  std::filesystem::create_symlink("elsewhere/target.txt", "symlink.txt");
  std::filesystem::create_symlink("elsewhere/not-yet.txt", "dangling.txt");
  std::filesystem::create_hard_link("elsewhere/target.txt", "hardlink.txt");
  for (const char* name : {"new.txt", "old.txt", "symlink.txt", "dangling.txt", "hardlink.txt"}) {
    SCOPED_TRACE(name);
    for (const char* text : {"first", "second version"}) {
      OutputFile out = CreateOutputFile(here, name);
      PutText(out, text);
      EXPECT_EQ(TemporaryFiles().size(), 1u);
      CommitOutputFile(out, Replacement::kExchange);
      EXPECT_EQ(ReadBytes(name), text);
      EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(name)));
      EXPECT_EQ(std::filesystem::hard_link_count(name), 1u);
      EXPECT_TRUE(TemporaryFiles().empty());
    }
  }
  EXPECT_EQ(ReadBytes("elsewhere/target.txt"), "someone else's file");
  EXPECT_FALSE(std::filesystem::exists("elsewhere/not-yet.txt"));
}

TEST(OutputFile, WhatIsNotAFileIsRefusedWithoutBlockingOrTouchingIt) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  const std::string denied = IoErrorMessage(kIoAccessDenied);
  // A named pipe without a reader would block an ordinary open for writing; the alarm
  // ends the test program if it does.
  ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
  ::alarm(30);
  EXPECT_EQ(ErrorOf(here, "pipe.txt"), denied);
  ::alarm(0);
  EXPECT_TRUE(std::filesystem::is_fifo("pipe.txt"));
  if (std::filesystem::is_character_file("/dev/full")) {
    EXPECT_EQ(ErrorOf(here, "/dev/full"), denied);
    EXPECT_TRUE(std::filesystem::is_character_file(std::filesystem::symlink_status("/dev/full")));
  }
  std::filesystem::create_directory("folder.txt");
  EXPECT_EQ(ErrorOf(here, "folder.txt"),
            "Output file \"folder.txt\": the name is that of a folder, not of a file");
  EXPECT_EQ(ErrorOf(here, "folder.txt/"),
            "Output file \"folder.txt/\": the name is that of a folder, not of a file");
  EXPECT_EQ(ErrorOf(here, "missing/out.txt"),
            "Output file \"missing/out.txt\": the folder \"missing\" does not exist");
  WriteBytes("plain.txt", "x");
  EXPECT_EQ(ErrorOf(here, "plain.txt/out.txt"),
            "Output file \"plain.txt/out.txt\": \"plain.txt\" is not a folder");
  EXPECT_EQ(ErrorOf(here, ""), "Output file \"\": the name is empty");
  EXPECT_TRUE(TemporaryFiles().empty());
  EXPECT_EQ(ReadBytes("plain.txt"), "x");
}

TEST(OutputFile, ErrorsKeepTheFileTheyAreAbout) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
  try {
    CreateOutputFile(here, "pipe.txt");
    ADD_FAILURE() << "a pipe was opened";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), IoErrorMessage(kIoAccessDenied));
    EXPECT_EQ(error.file, here.shown + "/pipe.txt");
  }
  // A message that names its file already keeps none besides.
  try {
    CreateOutputFile(here, "missing/out.txt");
    ADD_FAILURE() << "a missing folder was written";
  } catch (const RunError& error) {
    EXPECT_FALSE(error.file.has_value());
  }
}

TEST(OutputFile, AFullDiskKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  const std::optional<std::string> problem =
      InFullFolder([] { WriteBytes("out.txt", "the previous Run's file"); },
                   [] {
                     const WorkingFolder here = CurrentFolder();
                     std::string problems;
                     for (const std::string name : {"out.txt", "new.txt"}) {
                       const std::string error = ErrorOf(here, name);
                       if (error != IoErrorMessage(kIoDiskFull))
                         problems += name + ": " + error + "; ";
                     }
                     if (ReadBytes("out.txt") != "the previous Run's file")
                       problems += "out.txt changed; ";
                     if (std::filesystem::exists("new.txt")) problems += "new.txt exists; ";
                     if (!TemporaryFiles().empty()) problems += "a temporary file is left; ";
                     return problems;
                   });
  if (!problem) GTEST_SKIP() << "no file system can be mounted here";
  EXPECT_EQ(*problem, "");
}

TEST(OutputFile, FailuresLeaveNoFileOpen) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = CurrentFolder();
  ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
  const std::size_t before = OpenFiles();
  for (int n = 0; n < 20; ++n) {
    EXPECT_NE(ErrorOf(here, "pipe.txt"), "no error");
    EXPECT_NE(ErrorOf(here, "missing/out.txt"), "no error");
  }
  EXPECT_EQ(OpenFiles(), before);
}

}  // namespace
}  // namespace genosieve
