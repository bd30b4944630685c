// SPDX-License-Identifier: GPL-3.0-or-later
// readFile statuses and atomic writeFile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/plist/plist_limits.h"
#include "platform/plist/plist_value.h"
#include "platform/testing/temp_folder.h"

namespace {

using plist::Format;
using plist::ReadStatus;
using plist::Value;
using vxtest::TempFolder;

Value sample(int n) {
  Value value = Value::dictionary();
  value.set("n", Value::integer(n));
  value.set("blob", Value::data(plist::Data(128, static_cast<uint8_t>(n))));
  return value;
}

// True when the current user can create files in a folder without write permission (root),
// which makes "unwritable folder" cases meaningless.
bool permissionsAreBypassed(const TempFolder& folder) {
  const std::string probe = folder / "probe-folder";
  std::filesystem::create_directory(probe);
  ::chmod(probe.c_str(), 0555);
  const std::string file = probe + "/x";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
  if (fd >= 0) {
    ::close(fd);
    ::unlink(file.c_str());
  }
  ::chmod(probe.c_str(), 0755);
  std::filesystem::remove(probe);
  return fd >= 0;
}

TEST(PlistFiles, WriteThenReadInBothFormats) {
  TempFolder folder;
  for (Format format : {Format::Xml, Format::Binary}) {
    const std::string path = folder / (format == Format::Xml ? "a.plist" : "b.plist");
    ASSERT_TRUE(plist::writeFile(path, sample(7), format));
    ReadStatus status = ReadStatus::Malformed;
    const std::optional<Value> back = plist::readFile(path, &status);
    EXPECT_EQ(status, ReadStatus::Ok);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, sample(7));
  }
}

TEST(PlistFiles, ReadStatusesTellWhatWentWrong) {
  TempFolder folder;
  ReadStatus status = ReadStatus::Ok;
  EXPECT_FALSE(plist::readFile(folder / "absent.plist", &status));
  EXPECT_EQ(status, ReadStatus::Missing);
  EXPECT_FALSE(plist::readFile(folder / "absent/inside.plist", &status));
  EXPECT_EQ(status, ReadStatus::Missing);

  EXPECT_FALSE(plist::readFile(folder.path(), &status));
  EXPECT_EQ(status, ReadStatus::Unreadable);

  const std::string fifo = folder / "fifo.plist";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(plist::readFile(fifo, &status));  // must not block waiting for a writer
  EXPECT_EQ(status, ReadStatus::Unreadable);

  TempFolder::writeText(folder / "broken.plist", "<plist><dict><key>a</key>");
  EXPECT_FALSE(plist::readFile(folder / "broken.plist", &status));
  EXPECT_EQ(status, ReadStatus::Malformed);

  TempFolder::writeText(folder / "empty.plist", "");
  EXPECT_FALSE(plist::readFile(folder / "empty.plist", &status));
  EXPECT_EQ(status, ReadStatus::Malformed);

  const std::string big = folder / "big.plist";
  TempFolder::writeText(big, "");
  std::filesystem::resize_file(big, plist::kMaxFileBytes + 1);  // sparse: no disk used
  EXPECT_FALSE(plist::readFile(big, &status));
  EXPECT_EQ(status, ReadStatus::TooLarge);
}

TEST(PlistFiles, ReplacingLeavesNoTemporaryFileAndKeepsPermissions) {
  TempFolder folder;
  const std::string path = folder / "settings.plist";
  ASSERT_TRUE(plist::writeFile(path, sample(1)));
  ::chmod(path.c_str(), 0600);
  ASSERT_TRUE(plist::writeFile(path, sample(2), Format::Binary));
  EXPECT_EQ(TempFolder::list(folder.path()), std::vector<std::string>{"settings.plist"});
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(*plist::readFile(path), sample(2));

  const std::string fresh = folder / "fresh.plist";
  ASSERT_TRUE(plist::writeFile(fresh, sample(3)));
  ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(PlistFiles, FailedWritesLeaveTheOldFileIntact) {
  TempFolder folder;
  EXPECT_FALSE(plist::writeFile(folder / "no/such/folder.plist", sample(1)));
  EXPECT_FALSE(plist::writeFile(folder.path() + "/", sample(1)));
  EXPECT_FALSE(plist::writeFile("", sample(1)));
  EXPECT_FALSE(plist::writeFile("/proc/vxplatform-test.plist", sample(1)));  // even for root

  // A value that cannot be written never touches the file.
  const std::string path = folder / "kept.plist";
  ASSERT_TRUE(plist::writeFile(path, sample(1)));
  const std::string before = TempFolder::readText(path);
  Value unwritable = Value::dictionary();
  unwritable.set("bad", Value::string(std::string("nul\0inside", 10)));
  EXPECT_FALSE(plist::writeFile(path, unwritable));
  EXPECT_EQ(TempFolder::readText(path), before);
  EXPECT_EQ(TempFolder::list(folder.path()), std::vector<std::string>{"kept.plist"});
}

TEST(PlistFiles, UnwritableFolderKeepsTheOldFile) {
  TempFolder folder;
  if (permissionsAreBypassed(folder)) {
    GTEST_SKIP() << "running with permission checks bypassed (root): case is meaningless";
  }
  const std::string locked = folder / "locked";
  std::filesystem::create_directory(locked);
  const std::string path = locked + "/settings.plist";
  ASSERT_TRUE(plist::writeFile(path, sample(1)));
  const std::string before = TempFolder::readText(path);
  ::chmod(locked.c_str(), 0555);
  EXPECT_FALSE(plist::writeFile(path, sample(2)));
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(TempFolder::readText(path), before);
  EXPECT_EQ(TempFolder::list(locked), std::vector<std::string>{"settings.plist"});
}

TEST(PlistFiles, WritingOverAFolderFailsWithoutDamage) {
  TempFolder folder;
  const std::string target = folder / "occupied";
  std::filesystem::create_directory(target);
  TempFolder::writeText(target + "/inside.txt", "keep");
  EXPECT_FALSE(plist::writeFile(target, sample(1)));
  EXPECT_EQ(TempFolder::readText(target + "/inside.txt"), "keep");
  EXPECT_EQ(TempFolder::list(folder.path()), std::vector<std::string>{"occupied"});
}

}  // namespace
