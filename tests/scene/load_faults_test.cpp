// Each of the five files of a scene missing, empty, a directory or unreadable; files named more
// than once; a file too long for a 32-bit length. Checked through Load and through scene-load.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "sceneio/scene.h"
#include "support/buffer_of.h"
#include "support/run_program.h"
#include "support/user_reads.h"

namespace sceneio {
namespace {

using testing::RunProgram;
using testing::TempDir;

constexpr const char* kNames[] = {"dork.grp", "s.lgt", "s.cam", "s.gmf", "s.gof"};

// The Scene's buffers in load order: group, light, camera, material, object.
void Buffers(const Scene& scene, const FileBuffer* (&out)[5]) {
  out[0] = scene.groupFile.get();
  out[1] = scene.lightFile.get();
  out[2] = scene.cameraFile.get();
  out[3] = scene.materialFile.get();
  out[4] = scene.objectFile.get();
}

enum class Fault { kMissing, kEmpty, kDirectory, kUnreadable };

struct FaultRow {
  int file;  // index into kNames
  Fault fault;
};

// The first file the load cannot read: the faulty one, except that an empty file counts as
// read. An empty group file names nothing, so the light file is the first one not read then.
int FirstUnread(const FaultRow& row) {
  if (row.fault != Fault::kEmpty) return row.file;
  return row.file == 0 ? 1 : 5;
}

void PrintTo(const FaultRow& row, std::ostream* out) {
  *out << kNames[row.file];
}

class LoadFault : public ::testing::TestWithParam<FaultRow> {};

TEST_P(LoadFault, StopsAtTheFirstFileNotRead) {
  const FaultRow& row = GetParam();
  TempDir dir;
  testing::WriteSampleCopy(dir);
  const std::filesystem::path target = dir.root() / "dork" / kNames[row.file];
  switch (row.fault) {
    case Fault::kMissing:
      std::filesystem::remove(target);
      break;
    case Fault::kEmpty:
      dir.Write(std::string("dork/") + kNames[row.file], "");
      break;
    case Fault::kDirectory:
      std::filesystem::remove(target);
      std::filesystem::create_directory(target);
      break;
    case Fault::kUnreadable:
      ASSERT_EQ(chmod(target.c_str(), 0), 0);
      break;
  }
  const testing::UserReads userReads;
  if (row.fault == Fault::kUnreadable) {
    const int fd = open(target.c_str(), O_RDONLY);
    if (fd >= 0) {
      close(fd);
      GTEST_SKIP() << "this process reads a file without read permission (root that cannot "
                      "lower its capabilities)";
    }
  }

  Scene scene;
  const int firstUnread = FirstUnread(row);
  EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), firstUnread == 5 ? 0 : -1);
  const FileBuffer* buffers[5];
  Buffers(scene, buffers);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(kNames[i]);
    if (i > firstUnread) {
      EXPECT_EQ(buffers[i], nullptr);  // never tried
      continue;
    }
    ASSERT_NE(buffers[i], nullptr);  // held, read or not
    EXPECT_EQ(buffers[i]->data != nullptr, i < firstUnread);
    if (i == row.file && row.fault == Fault::kEmpty) {
      EXPECT_EQ(buffers[i]->size, 0);
    }
  }
  // Collections of the kinds not reached stay empty.
  EXPECT_EQ(scene.objects.items != nullptr, firstUnread > 4);
  EXPECT_EQ(scene.materials.items != nullptr, firstUnread > 3);

  const testing::ProgramResult run = RunProgram(SCENE_LOAD_PATH, dir.root().string());
  EXPECT_EQ(run.out, firstUnread == 5 ? "" : "error\n\n");
  EXPECT_EQ(run.status, 0);
}

std::vector<FaultRow> AllFaults() {
  std::vector<FaultRow> rows;
  for (int file = 0; file < 5; ++file) {
    for (Fault fault : {Fault::kMissing, Fault::kEmpty, Fault::kDirectory, Fault::kUnreadable}) {
      rows.push_back({file, fault});
    }
  }
  return rows;
}

std::string FaultName(const ::testing::TestParamInfo<FaultRow>& info) {
  static constexpr const char* kFaults[] = {"Missing", "Empty", "Directory", "Unreadable"};
  std::string name = kNames[info.param.file];
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + kFaults[static_cast<int>(info.param.fault)];
}

INSTANTIATE_TEST_SUITE_P(EveryFile, LoadFault, ::testing::ValuesIn(AllFaults()), FaultName);

// One file named for every kind is read four times, into four blocks, and each parser finds
// its own part among the others' text. A second entry for a kind is never consulted, so the
// file it names may be missing.
TEST(LoadFaults, FilesNamedMoreThanOnce) {
  TempDir dir;
  testing::WriteSampleCopy(dir);
  std::string all;
  for (const char* name : {"s.lgt", "s.cam", "s.gmf", "s.gof"}) {
    const FileBuffer part((dir.root().string() + "/dork/" + name).c_str());
    ASSERT_NE(part.data, nullptr);
    all.append(part.data.get(), static_cast<size_t>(part.size));
  }
  dir.Write("dork/all.lgt.cam.gmf.gof", all);
  dir.Write("dork/dork.grp",
            "include \"all.lgt.cam.gmf.gof\"\ninclude \"gone.lgt\" include \"gone.gof\"\n");

  Scene scene;
  EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), 0);
  const FileBuffer* buffers[5];
  Buffers(scene, buffers);
  for (int i = 1; i < 5; ++i) {
    SCOPED_TRACE(kNames[i]);
    ASSERT_NE(buffers[i], nullptr);
    ASSERT_EQ(buffers[i]->size, static_cast<int32_t>(all.size()));
    EXPECT_EQ(std::memcmp(buffers[i]->data.get(), all.data(), all.size()), 0);
    for (int j = 1; j < i; ++j) EXPECT_NE(buffers[i]->data.get(), buffers[j]->data.get());
  }
  // The other kinds' text is passed over: each kind finds as many records as in its own file.
  Scene sample;
  ASSERT_EQ(sample.Load(testing::SampleGroupPath().c_str()), 0);
  EXPECT_EQ(scene.lights.count, sample.lights.count);
  EXPECT_EQ(scene.camera.count, sample.camera.count);
  EXPECT_EQ(scene.materials.count, sample.materials.count);
  EXPECT_EQ(scene.objects.count, sample.objects.count);
}

// A file whose length a 32-bit count cannot hold is not read: a length of 2 GiB + 1 does not
// fit, and 4 GiB + 1 must not wrap around to 1. The files are sparse: no disk space is used,
// and a reader that tried to take them whole would run out of memory or time.
TEST(LoadFaults, ObjectFileTooLongIsNotRead) {
  for (const off_t length : {(off_t{1} << 31) + 1, (off_t{1} << 32) + 1}) {
    SCOPED_TRACE(length);
    TempDir dir;
    testing::WriteSampleCopy(dir);
    ASSERT_EQ(truncate((dir.root() / "dork/s.gof").c_str(), length), 0);
    Scene scene;
    EXPECT_EQ(scene.Load(dir.GroupPath().c_str()), -1);
    ASSERT_NE(scene.objectFile, nullptr);
    EXPECT_EQ(scene.objectFile->data, nullptr);
    EXPECT_EQ(scene.objectFile->size, 0);
    EXPECT_NE(scene.materials.items, nullptr);  // everything before it was loaded
    const testing::ProgramResult run = RunProgram(SCENE_LOAD_PATH, dir.root().string());
    EXPECT_EQ(run.out, "error\n\n");
    EXPECT_EQ(run.status, 0);
  }
}

}  // namespace
}  // namespace sceneio
