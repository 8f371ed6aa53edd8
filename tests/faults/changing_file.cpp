// A data file that shrinks or grows while the loader reads it, a read that is interrupted or
// fails, and a length query that fails or gives nonsense. The executable is linked with
// --wrap=read and --wrap=fstat, so the loader's calls pass through the functions below: armed
// for one file, the first read hands back only part of what was asked and then truncates the
// file or appends to it, as another process could between the length query and the end of the
// read, or the call fails as a disk or a signal could make it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "sceneio/scene.h"
#include "support/buffer_of.h"

extern "C" ssize_t __real_read(int fd, void* buffer, size_t count);
extern "C" ssize_t __wrap_read(int fd, void* buffer, size_t count);
extern "C" int __real_fstat(int fd, struct stat* info);
extern "C" int __wrap_fstat(int fd, struct stat* info);

namespace sceneio {
namespace {

using testing::TempDir;

enum class Change {
  kShrinkBelowWhatWasRead,
  kShrinkAboveWhatWasRead,
  kEmpty,
  kGrow,
  kInterrupted,  // the first read fails with EINTR, having read nothing
  kReadFails,    // the first read fails with EIO
  kStatFails,    // fstat fails with EIO
  kNegativeSize  // fstat gives a negative length, as a broken file system could
};

// Whether the file is still read, whole and as it was, after the change.
bool StillRead(Change change) {
  return change == Change::kGrow || change == Change::kInterrupted;
}

// The one change to make, to the file at `path`, at its first read or length query; then
// disarmed.
struct Armed {
  bool on = false;
  bool fired = false;
  std::string path;  // canonical
  Change change = Change::kGrow;
} armed;

bool NamesArmedFile(int fd) {
  char link[4096];
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = readlink(proc.c_str(), link, sizeof link);
  return length > 0 && std::string_view(link, static_cast<size_t>(length)) == armed.path;
}

bool AtStat(Change change) {
  return change == Change::kStatFails || change == Change::kNegativeSize;
}

int StatThatFails(int fd, struct stat* info) {
  if (!armed.on || !AtStat(armed.change) || !NamesArmedFile(fd)) return __real_fstat(fd, info);
  armed.on = false;
  armed.fired = true;
  if (armed.change == Change::kStatFails) {
    errno = EIO;
    return -1;
  }
  const int result = __real_fstat(fd, info);
  info->st_size = -1;
  return result;
}

ssize_t ReadThatChangesTheFile(int fd, void* buffer, size_t count) {
  if (!armed.on || AtStat(armed.change) || count < 4 || !NamesArmedFile(fd)) {
    return __real_read(fd, buffer, count);
  }
  armed.on = false;
  armed.fired = true;
  if (armed.change == Change::kInterrupted || armed.change == Change::kReadFails) {
    errno = armed.change == Change::kInterrupted ? EINTR : EIO;
    return -1;
  }
  const size_t first = count / 2;
  const ssize_t got = __real_read(fd, buffer, first);
  const off_t length = static_cast<off_t>(count);
  switch (armed.change) {
    case Change::kShrinkBelowWhatWasRead:
      EXPECT_EQ(truncate(armed.path.c_str(), length / 4), 0);
      break;
    case Change::kShrinkAboveWhatWasRead:
      EXPECT_EQ(truncate(armed.path.c_str(), length - 1), 0);
      break;
    case Change::kEmpty:
      EXPECT_EQ(truncate(armed.path.c_str(), 0), 0);
      break;
    case Change::kGrow: {
      const int out = open(armed.path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
      EXPECT_GE(out, 0);
      const std::string more(4096, 'x');
      EXPECT_EQ(write(out, more.data(), more.size()), static_cast<ssize_t>(more.size()));
      close(out);
      break;
    }
    default:
      break;
  }
  return got;
}

constexpr const char* kNames[] = {"dork.grp", "s.lgt", "s.cam", "s.gmf", "s.gof"};
constexpr const char* kChanges[] = {"ShrinkBelowWhatWasRead",
                                    "ShrinkAboveWhatWasRead",
                                    "Empty",
                                    "Grow",
                                    "Interrupted",
                                    "ReadFails",
                                    "StatFails",
                                    "NegativeSize"};

struct Row {
  int file;
  Change change;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << kNames[row.file] << " " << kChanges[static_cast<int>(row.change)];
}

class ChangingFile : public ::testing::TestWithParam<Row> {};

// A file that shrank is not read: the bytes it had when its length was taken are no longer all
// there. One that grew is read as it was then: exactly that many bytes, the new ones left out.
// An interrupted read is taken again; a failed read or length query means the file is not read.
TEST_P(ChangingFile, SizeIsAlwaysWhatDataHolds) {
  const Row& row = GetParam();
  TempDir dir;
  testing::WriteSampleCopy(dir);
  const std::filesystem::path target = dir.root() / "dork" / kNames[row.file];
  const FileBuffer before(target.c_str());
  ASSERT_NE(before.data, nullptr);
  ASSERT_GE(before.size, 4);

  armed = {true, false, std::filesystem::canonical(target).string(), row.change};
  Scene scene;
  const int32_t result = scene.Load(dir.GroupPath().c_str());
  armed.on = false;
  ASSERT_TRUE(armed.fired) << "the loader did not read the file through read() and fstat()";

  const FileBuffer* buffers[] = {scene.groupFile.get(), scene.lightFile.get(),
                                 scene.cameraFile.get(), scene.materialFile.get(),
                                 scene.objectFile.get()};
  const FileBuffer* changed = buffers[row.file];
  ASSERT_NE(changed, nullptr);
  if (StillRead(row.change)) {
    EXPECT_EQ(result, 0);
    ASSERT_NE(changed->data, nullptr);
    ASSERT_EQ(changed->size, before.size);
    EXPECT_EQ(std::memcmp(changed->data.get(), before.data.get(), before.size), 0);
    if (row.change == Change::kGrow) {
      EXPECT_GT(std::filesystem::file_size(target), static_cast<uintmax_t>(before.size));
    }
  } else {
    EXPECT_EQ(result, -1);
    EXPECT_EQ(changed->data, nullptr);
    EXPECT_EQ(changed->size, 0);
    for (int i = row.file + 1; i < 5; ++i) EXPECT_EQ(buffers[i], nullptr);
  }
}

std::vector<Row> AllRows() {
  std::vector<Row> rows;
  for (int file = 0; file < 5; ++file) {
    for (Change change : {Change::kShrinkBelowWhatWasRead, Change::kShrinkAboveWhatWasRead,
                          Change::kEmpty, Change::kGrow, Change::kInterrupted, Change::kReadFails,
                          Change::kStatFails, Change::kNegativeSize}) {
      rows.push_back({file, change});
    }
  }
  return rows;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name = kNames[info.param.file];
  name[name.find('.')] = '_';
  return name + "_" + kChanges[static_cast<int>(info.param.change)];
}

INSTANTIATE_TEST_SUITE_P(EveryFile, ChangingFile, ::testing::ValuesIn(AllRows()), RowName);

}  // namespace
}  // namespace sceneio

extern "C" ssize_t __wrap_read(int fd, void* buffer, size_t count) {
  return sceneio::ReadThatChangesTheFile(fd, buffer, count);
}

extern "C" int __wrap_fstat(int fd, struct stat* info) {
  return sceneio::StatThatFails(fd, info);
}
