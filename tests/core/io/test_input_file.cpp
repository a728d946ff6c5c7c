#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "errors.h"
#include "io/input_file.h"
#include "io/io_error.h"
#include "messages.h"
#include "support/current_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::CurrentFolder;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::string ReadError(const std::string& path) {
  try {
    ReadWholeFile(path);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

TEST(InputFile, ReadsARegularFileWholeAndCharacterByCharacter) {
  ScopedWorkingFolder folder;
  // Larger than one buffer, so that reading crosses a refill.
  std::string bytes(100000, 'x');
  bytes[0] = 'a';
  bytes[65536] = 'b';
  bytes.back() = 'z';
  WriteBytes("data.txt", bytes);
  EXPECT_EQ(ReadWholeFile("data.txt"), bytes);

  InputFile file;
  OpenForRead(file, "data.txt");
  EXPECT_EQ(PeekChar(file), 'a');
  std::string read;
  for (int c = GetChar(file); c != kEndOfFile; c = GetChar(file))
    read.push_back(static_cast<char>(c));
  EXPECT_EQ(read, bytes);
  // The end keeps reading as itself.
  EXPECT_EQ(GetChar(file), kEndOfFile);
  EXPECT_EQ(PeekChar(file), kEndOfFile);

  WriteBytes("empty.txt", "");
  EXPECT_EQ(ReadWholeFile("empty.txt"), "");
}

TEST(InputFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
  ScopedWorkingFolder folder;
  EXPECT_EQ(ReadError("missing.txt"), "Fichier introuvable");
  EXPECT_EQ(ReadError(""), "Fichier introuvable");
  std::filesystem::create_directory("folder.txt");
  EXPECT_EQ(ReadError("folder.txt"), IoErrorMessageFromErrno(EISDIR));
  // A named pipe without a writer would block an ordinary open; a device never ends.
  ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
  EXPECT_EQ(ReadError("pipe.txt"), IoErrorMessage(kIoAccessDenied));
  EXPECT_EQ(ReadError("/dev/zero"), IoErrorMessage(kIoAccessDenied));
}

TEST(InputFile, ReadsTheWorkingFoldersFilesWithoutFollowingLinks) {
  ScopedWorkingFolder folder;
  std::filesystem::create_directory("sub");
  WriteBytes("sub/temp.txt", "intermediate");
  WriteBytes("elsewhere.txt", "not the Run's");
  std::filesystem::create_symlink("elsewhere.txt", "sub/link.txt");
  const WorkingFolder sub = OpenWorkingFolder("sub");
  EXPECT_EQ(ReadWholeFile(sub, "temp.txt"), "intermediate");
  try {
    ReadWholeFile(sub, "link.txt");
    ADD_FAILURE() << "read through a link";
  } catch (const RunError& error) {
    EXPECT_EQ(std::string(error.what()), IoErrorMessageFromErrno(ELOOP));
  }
  ASSERT_EQ(::mkfifo("sub/pipe.txt", 0600), 0);
  EXPECT_THROW(ReadWholeFile(sub, "pipe.txt"), RunError);
  EXPECT_THROW(ReadWholeFile(CurrentFolder(), "sub/missing.txt"), RunError);
}

// The error keeps the file it is about for a window to name it; the message stays the
// system's own.
TEST(InputFile, ErrorsKeepTheFileTheyAreAbout) {
  ScopedWorkingFolder folder;
  std::filesystem::create_directory("folder.txt");
  const WorkingFolder here = CurrentFolder();
  struct Case {
    std::string path;
    std::string message;
    std::string file;
  };
  for (const Case& c : {Case{"missing.gen", "Fichier introuvable", "missing.gen"},
                        Case{"", "Fichier introuvable", ""},
                        Case{"folder.txt", IoErrorMessage(kIoAccessDenied), "folder.txt"}}) {
    try {
      ReadWholeFile(c.path);
      ADD_FAILURE() << c.path << " was read";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
      ASSERT_TRUE(error.file.has_value()) << c.path;
      EXPECT_EQ(*error.file, c.file);
    }
  }
  try {
    ReadWholeFile(here, "temp.txt");
    ADD_FAILURE() << "temp.txt was read";
  } catch (const RunError& error) {
    EXPECT_EQ(error.file, here.shown + "/temp.txt");
  }
}

TEST(IoError, ErrnoValuesMapToTheRunsMessagesWithOneFallback) {
  EXPECT_EQ(IoErrorMessageFromErrno(ENOENT), "Fichier introuvable");
  EXPECT_EQ(IoErrorMessageFromErrno(ENOSPC), "Disque plein");
  // A failure that left errno at 0 is reported as EIO, never as "Erreur E/S 0".
  EXPECT_EQ(IoErrorMessageFromErrno(0), "Erreur E/S " + std::to_string(EIO));
  EXPECT_EQ(IoErrorMessageFromErrno(0), IoErrorMessageFromErrno(EIO));
}

}  // namespace
}  // namespace genosieve
