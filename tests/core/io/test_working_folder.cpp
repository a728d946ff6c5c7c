#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "errors.h"
#include "io/folder_lock.h"
#include "io/working_folder.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ReadBytes;
using testing::ScopedWorkingFolder;
using testing::WriteBytes;

std::string OpenError(const std::string& path) {
  try {
    OpenWorkingFolder(path);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

std::string LockError(const WorkingFolder& folder) {
  try {
    LockWorkingFolder(folder);
  } catch (const RunError& error) {
    return error.what();
  }
  return "no error";
}

TEST(WorkingFolder, OpensAFolderAndNamesItByItsAbsolutePath) {
  ScopedWorkingFolder folder;
  std::filesystem::create_directory("out");
  const WorkingFolder here = OpenWorkingFolder(".");
  EXPECT_EQ(here.path, ".");
  EXPECT_EQ(here.shown, folder.path().string());
  const WorkingFolder out = OpenWorkingFolder("out/");
  EXPECT_GE(out.fd, 0);
  EXPECT_EQ(out.shown, (folder.path() / "out").string());

  const std::string at = "Working folder \"" + folder.path().string();
  EXPECT_EQ(OpenError(""), "Working folder \"\": the name is empty");
  EXPECT_EQ(OpenError("missing"), at + "/missing\": no such folder");
  WriteBytes("file.txt", "x");
  EXPECT_EQ(OpenError("file.txt"), at + "/file.txt\": not a folder");
  // A named pipe is refused without waiting for a writer.
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  ::alarm(30);
  EXPECT_EQ(OpenError("pipe"), at + "/pipe\": not a folder");
  ::alarm(0);
}

TEST(FolderLock, OneRunPerFolderAndTheLockFileGoesWithTheLock) {
  ScopedWorkingFolder folder;
  std::filesystem::create_directory("other");
  const WorkingFolder here = OpenWorkingFolder(".");
  const std::string inUse = "Working folder \"" + folder.path().string() +
                            "\": another Run is working in this folder; wait until it ends, or "
                            "choose another folder";
  {
    const FolderLock lock = LockWorkingFolder(here);
    EXPECT_TRUE(std::filesystem::is_regular_file(kLockFileName));
    // Another opening of the same folder, under another name, is the same folder.
    EXPECT_EQ(LockError(here), inUse);
    EXPECT_EQ(LockError(OpenWorkingFolder(folder.path().string())), inUse);
    // Another folder is free.
    const WorkingFolder other = OpenWorkingFolder("other");
    const FolderLock otherLock = LockWorkingFolder(other);
    EXPECT_TRUE(std::filesystem::exists("other/" + std::string(kLockFileName)));
  }
  EXPECT_FALSE(std::filesystem::exists(kLockFileName));
  EXPECT_FALSE(std::filesystem::exists("other/" + std::string(kLockFileName)));
  // Released: the next Run takes it again, also over a file left by a Run that died.
  WriteBytes(std::string(kLockFileName), "");
  const FolderLock again = LockWorkingFolder(here);
  EXPECT_EQ(LockError(here), inUse);
}

TEST(FolderLock, APlantedLinkOrPipeIsRefusedNotFollowed) {
  ScopedWorkingFolder folder;
  const WorkingFolder here = OpenWorkingFolder(".");
  const std::string notRegular =
      "Working folder \"" + folder.path().string() +
      "\": \".genosieve.lock\", the file that keeps two Runs from working in one folder at once, "
      "is not a regular file";
  WriteBytes("target.txt", "someone else's file");
  std::filesystem::create_symlink("target.txt", kLockFileName);
  EXPECT_EQ(LockError(here), notRegular);
  EXPECT_EQ(ReadBytes("target.txt"), "someone else's file");
  EXPECT_TRUE(std::filesystem::is_symlink(kLockFileName));

  std::filesystem::remove(kLockFileName);
  ASSERT_EQ(::mkfifo(std::string(kLockFileName).c_str(), 0600), 0);
  ::alarm(30);
  EXPECT_EQ(LockError(here), notRegular);
  ::alarm(0);
  EXPECT_TRUE(std::filesystem::is_fifo(kLockFileName));
}

}  // namespace
}  // namespace genosieve
