// Each of the five files replaced by a path that names no regular file: a pipe nobody writes, a
// device, a terminal, a socket, a directory, a dangling link, a loop of links. Every one is a
// file not read, at once: the load stops there, through Load, scene-load, scene-inspect and
// scene-convert, and each run is a child process that is killed (and fails the test) if it waits.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "sceneio/scene.h"
#include "support/buffer_of.h"
#include "support/run_bounded.h"

namespace sceneio {
namespace {

using namespace std::chrono_literals;
using testing::BoundedResult;
using testing::TempDir;

// Generous for a load of a few small files under the sanitizers on a busy machine; a run that
// waits on its input never ends, so any bound tells the two apart.
constexpr auto kBound = 20s;

constexpr const char* kNames[] = {"dork.grp", "s.lgt", "s.cam", "s.gmf", "s.gof"};
constexpr const char* kKinds[] = {"group", "light", "camera", "material", "object"};

enum class Path {
  kPipeWithoutWriter,
  kDevZero,
  kDevNull,
  kTerminal,
  kSocket,
  kDirectory,
  kDanglingLink,
  kLinkLoop,
};
constexpr const char* kPathNames[] = {"PipeWithoutWriter", "DevZero", "DevNull",
                                      "Terminal",          "Socket",  "Directory",
                                      "DanglingLink",      "LinkLoop"};

struct Row {
  int file;  // index into kNames
  Path path;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << kNames[row.file] << " as " << kPathNames[static_cast<int>(row.path)];
}

// Keeps the far ends open while the row runs: the terminal's master side, the listening socket.
class Holder {
 public:
  Holder() = default;
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  ~Holder() {
    if (fd_ >= 0) close(fd_);
  }
  void Hold(int fd) { fd_ = fd; }

 private:
  int fd_ = -1;
};

// Puts the kind of path `row` asks for at `target`; an empty result means it is in place, else
// it says why not.
std::string Make(const Row& row, const std::filesystem::path& target, Holder& holder) {
  std::filesystem::remove(target);
  switch (row.path) {
    case Path::kPipeWithoutWriter:
      return mkfifo(target.c_str(), 0600) == 0 ? "" : "mkfifo failed";
    case Path::kDevZero:
      std::filesystem::create_symlink("/dev/zero", target);
      return "";
    case Path::kDevNull:
      std::filesystem::create_symlink("/dev/null", target);
      return "";
    case Path::kTerminal: {
      // The far side of a new pseudo-terminal: nothing is ever typed on it, so a read waits.
      const int master = posix_openpt(O_RDWR | O_NOCTTY);
      if (master < 0) return std::string("no pseudo-terminal: ") + std::strerror(errno);
      holder.Hold(master);
      if (grantpt(master) != 0 || unlockpt(master) != 0) return "pseudo-terminal not unlocked";
      const char* name = ptsname(master);
      if (name == nullptr) return "pseudo-terminal has no name";
      std::filesystem::create_symlink(name, target);
      return "";
    }
    case Path::kSocket: {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (target.native().size() >= sizeof address.sun_path) return "socket path too long";
      std::strcpy(address.sun_path, target.c_str());
      const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (listener < 0) return "no socket";
      holder.Hold(listener);
      if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
          listen(listener, 1) != 0) {
        return "socket not bound";
      }
      return "";
    }
    case Path::kDirectory:
      std::filesystem::create_directory(target);
      return "";
    case Path::kDanglingLink:
      std::filesystem::create_symlink("gone", target);
      return "";
    case Path::kLinkLoop:
      std::filesystem::create_symlink(target.filename().string() + ".b", target);
      std::filesystem::create_symlink(target.filename(), target.string() + ".b");
      return "";
  }
  return "unknown path kind";
}

class PathKind : public ::testing::TestWithParam<Row> {};

TEST_P(PathKind, IsNotReadAndNothingWaits) {
  const Row& row = GetParam();
  TempDir dir;
  testing::WriteSampleCopy(dir);
  Holder holder;
  const std::string why = Make(row, dir.root() / "dork" / kNames[row.file], holder);
  if (!why.empty()) {
    // Only the terminal depends on the machine (a container may have no pseudo-terminals).
    ASSERT_EQ(row.path, Path::kTerminal) << why;
    GTEST_SKIP() << why;
  }

  // In a copy of this process: the load stops at the file, which is held but has no data.
  const BoundedResult load = testing::RunWithin(kBound, [&] {
    Scene scene;
    if (scene.Load(dir.GroupPath().c_str()) != -1) return 1;
    const FileBuffer* buffers[] = {scene.groupFile.get(), scene.lightFile.get(),
                                   scene.cameraFile.get(), scene.materialFile.get(),
                                   scene.objectFile.get()};
    for (int i = 0; i < 5; ++i) {
      const bool read = buffers[i] != nullptr && buffers[i]->data != nullptr;
      if (read != (i < row.file)) return 10 + i;
      if (i > row.file && buffers[i] != nullptr) return 20 + i;
    }
    return buffers[row.file] != nullptr && buffers[row.file]->size == 0 ? 0 : 2;
  });
  EXPECT_FALSE(load.timedOut);
  EXPECT_EQ(load.status, 0);

  const BoundedResult run = testing::RunProgramWithin(kBound, SCENE_LOAD_PATH, dir.root().string());
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.out, "error\n\n");
  EXPECT_EQ(run.status, 0);

  const BoundedResult inspect =
      testing::RunProgramWithin(kBound, SCENE_INSPECT_PATH, dir.root().string());
  EXPECT_FALSE(inspect.timedOut);
  EXPECT_EQ(inspect.status, 1);
  const std::string stop =
      std::string("load result: -1 (dork\\") + kNames[row.file] + " could not be read)\n";
  EXPECT_NE(inspect.out.find(stop), std::string::npos) << inspect.out;
  EXPECT_NE(inspect.out.find(std::string(kKinds[row.file]) + " "), std::string::npos);

  const BoundedResult convert =
      testing::RunProgramWithin(kBound, SCENE_CONVERT_PATH, dir.root().string(),
                                {"dork/dork.grp", "out.glb"}, testing::Stderr::kWithOut);
  EXPECT_FALSE(convert.timedOut);
  EXPECT_EQ(convert.status, 1);
  const std::string failed = std::string("scene-convert: the load failed: dork\\") +
                             kNames[row.file] + " could not be read\n";
  EXPECT_EQ(convert.out, failed);
  EXPECT_FALSE(std::filesystem::exists(dir.root() / "out.glb"));
}

// The sample's material file names the texture "brick.png", which scene-convert embeds when it
// is a PNG beside the material file. In its place, no kind of path may make it wait: the
// texture is left out with a warning and the rest is written.
class TexturePathKind : public ::testing::TestWithParam<Path> {};

TEST_P(TexturePathKind, IsLeftOutAndNothingWaits) {
  TempDir dir;
  testing::WriteSampleCopy(dir);
  Holder holder;
  const std::string why = Make({3, GetParam()}, dir.root() / "dork" / "brick.png", holder);
  if (!why.empty()) {
    ASSERT_EQ(GetParam(), Path::kTerminal) << why;
    GTEST_SKIP() << why;
  }
  const BoundedResult convert =
      testing::RunProgramWithin(kBound, SCENE_CONVERT_PATH, dir.root().string(),
                                {"dork/dork.grp", "out.glb"}, testing::Stderr::kWithOut);
  EXPECT_FALSE(convert.timedOut);
  EXPECT_EQ(convert.status, 0);
  EXPECT_NE(convert.out.find("warning: material \"brick\": texture \"brick.png\" left out: "),
            std::string::npos)
      << convert.out;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.root() / "out.glb"));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, TexturePathKind,
                         ::testing::Values(Path::kPipeWithoutWriter, Path::kDevZero, Path::kDevNull,
                                           Path::kTerminal, Path::kSocket, Path::kDirectory,
                                           Path::kDanglingLink, Path::kLinkLoop),
                         [](const ::testing::TestParamInfo<Path>& info) {
                           return std::string(kPathNames[static_cast<int>(info.param)]);
                         });

std::vector<Row> AllRows() {
  std::vector<Row> rows;
  for (int file = 0; file < 5; ++file) {
    for (int path = 0; path <= static_cast<int>(Path::kLinkLoop); ++path) {
      rows.push_back({file, static_cast<Path>(path)});
    }
  }
  return rows;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name = kNames[info.param.file];
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + kPathNames[static_cast<int>(info.param.path)];
}

INSTANTIATE_TEST_SUITE_P(EveryFile, PathKind, ::testing::ValuesIn(AllRows()), RowName);

}  // namespace
}  // namespace sceneio
