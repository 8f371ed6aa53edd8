// scene-load under an address-space limit (RLIMIT_AS, set in a forked child before exec): when
// the scene needs more memory than it may have, it says "error\n\n" and exits 0, never crashes.
// This executable and the scene-load it runs are built without sanitizers, whose shadow memory
// cannot be mapped under such a limit.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>

#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::TempDir;

constexpr rlim_t kLimit = rlim_t{256} << 20;

struct ChildRun {
  std::string out;
  bool exited = false;
  int status = -1;  // exit status when exited, else the signal
};

ChildRun RunUnderLimit(const std::filesystem::path& directory, rlim_t limit) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    const rlimit bound{limit, limit};
    if (chdir(directory.c_str()) != 0 || setrlimit(RLIMIT_AS, &bound) != 0) _exit(126);
    execl(SCENE_LOAD_PLAIN_PATH, SCENE_LOAD_PLAIN_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  ChildRun run;
  char chunk[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0) run.out.append(chunk, got);
  close(pipeEnds[0]);
  int raw = 0;
  if (child < 0 || waitpid(child, &raw, 0) != child) return run;
  run.exited = WIFEXITED(raw);
  run.status = run.exited ? WEXITSTATUS(raw) : WTERMSIG(raw);
  return run;
}

std::string Repeat(const std::string& unit, size_t n) {
  std::string text;
  text.reserve(unit.size() * n);
  for (size_t i = 0; i < n; ++i) text += unit;
  return text;
}

void SparseFile(const TempDir& dir, const char* name, off_t length) {
  const std::filesystem::path file = dir.Write(std::string("dork/") + name, "");
  ASSERT_EQ(truncate(file.c_str(), length), 0);
}

struct Row {
  const char* name;
  void (*prepare)(const TempDir&);
  const char* expected;
};

const Row kRows[] = {
    // Shows the limit leaves room for an ordinary scene: the other rows fail for their files.
    {"sample scene fits", [](const TempDir&) {}, ""},
    {"object file of 2 GiB plus one byte",
     [](const TempDir& dir) { SparseFile(dir, "s.gof", (off_t{1} << 31) + 1); }, "error\n\n"},
    {"object file of 4 GiB plus one byte",
     [](const TempDir& dir) { SparseFile(dir, "s.gof", (off_t{1} << 32) + 1); }, "error\n\n"},
    {"object file larger than the limit",
     [](const TempDir& dir) { SparseFile(dir, "s.gof", off_t{512} << 20); }, "error\n\n"},
    {"material file larger than the limit",
     [](const TempDir& dir) { SparseFile(dir, "s.gmf", off_t{300} << 20); }, "error\n\n"},
    // Small files whose counted records need more than the limit allows.
    {"two million GL_Shade tokens",
     [](const TempDir& dir) { dir.Write("dork/s.gmf", Repeat("GL_Shade\n", 2'000'000)); },
     "error\n\n"},
    {"two million (name tokens",
     [](const TempDir& dir) {
       dir.Write("dork/s.lgt", "<\n" + Repeat("(name\n", 2'000'000) + ">\n");
     },
     "error\n\n"},
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class AddressLimit : public ::testing::TestWithParam<Row> {};

TEST_P(AddressLimit, SaysErrorAndExitsZero) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "built with AddressSanitizer, which cannot run under RLIMIT_AS";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "built with AddressSanitizer, which cannot run under RLIMIT_AS";
#endif
#endif
  TempDir dir;
  testing::WriteSampleCopy(dir);
  GetParam().prepare(dir);
  const ChildRun run = RunUnderLimit(dir.root(), kLimit);
  EXPECT_TRUE(run.exited) << "ended by signal " << run.status;
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, GetParam().expected);
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name;
  for (const char* c = info.param.name; *c != '\0'; ++c) {
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, AddressLimit, ::testing::ValuesIn(kRows), RowName);

}  // namespace
}  // namespace sceneio
