// Output files: each written under a name of its own beside its final path, renamed into place
// only when every file of the output is complete, and put back when any rename fails.
#include "io/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace sceneio {
namespace {

constexpr size_t kCopyChunk = size_t{1} << 20;

std::string ErrnoText(int error) {
  return std::strerror(error);
}

}  // namespace

std::string OutputFailure::Message() const {
  switch (step) {
    case Step::kNone:
      return {};
    case Step::kFolder:
      return "cannot make the folder " + path.string() + ": " + ErrnoText(error);
    case Step::kBegin:
      return "cannot write beside " + path.string() + ": " + ErrnoText(error);
    case Step::kWrite:
    case Step::kClose:
      return "cannot write " + path.string() + ": " + ErrnoText(error);
    case Step::kCommit:
      return "cannot put " + path.string() + " in place: " + ErrnoText(error);
    case Step::kSourceChanged:
      return source + " changed or vanished while the output was written";
    case Step::kSourceShort:
      return source + " could not be read whole";
  }
  return {};
}

// One file of the output: its final path, and on disk the file beside it and, once renamed
// over an earlier file, a second name for that file until the whole output is settled.
struct OutputFiles::Pending {
  std::filesystem::path final;
  std::filesystem::path temp;
  std::filesystem::path backup;
  int fd = -1;
  bool committed = false;
  std::string bytes;  // kMemory

  ~Pending() {
    Restore();
    if (fd >= 0) close(fd);
    if (!temp.empty()) unlink(temp.c_str());
    Settle();
  }

  // Puts back what stood at the final path before the rename: the earlier file, or nothing.
  void Restore() {
    if (!committed) return;
    if (backup.empty()) {
      unlink(final.c_str());
    } else {
      std::rename(backup.c_str(), final.c_str());
    }
    backup.clear();
    committed = false;
  }

  void Settle() {
    if (!backup.empty()) unlink(backup.c_str());
    backup.clear();
    committed = false;
  }
};

OutputFiles::OutputFiles(Target target) : target_(target) {}

// Members go in reverse order of their making, so files committed later are put back first.
OutputFiles::~OutputFiles() {
  while (!files_.empty()) files_.pop_back();
  if (settled_) return;
  // Only an empty folder goes: whatever else was put in it since is not the output's.
  for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
    rmdir(folder->c_str());
  }
}

bool OutputFiles::MakeFolders(const std::filesystem::path& folder) {
  if (target_ == Target::kMemory) return true;
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path at = folder; !at.empty(); at = at.parent_path()) {
    struct stat info {};
    if (stat(at.c_str(), &info) == 0) break;  // what it is decides the first Begin
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
    if (mkdir(at->c_str(), 0777) == 0) {
      madeFolders_.push_back(*at);
    } else if (errno != EEXIST) {
      failure_ = {OutputFailure::Step::kFolder, errno, *at, {}};
      return false;
    }
  }
  return true;
}

bool OutputFiles::Fail(OutputFailure::Step step, int error, const std::string& source) {
  failure_.step = step;
  failure_.error = error;
  failure_.path = files_.empty() ? std::filesystem::path() : files_.back()->final;
  failure_.source = source;
  return false;
}

bool OutputFiles::Begin(const std::filesystem::path& finalPath) {
  files_.push_back(std::make_unique<Pending>());
  Pending& file = *files_.back();
  file.final = finalPath;
  if (target_ == Target::kMemory) return true;
  static std::atomic<unsigned> serial{0};
  const std::filesystem::path folder = finalPath.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + finalPath.filename().string() + ".tmp" +
                             std::to_string(getpid()) + "-" + std::to_string(serial++);
    file.temp = folder.empty() ? std::filesystem::path(name) : folder / name;
    // 0666 under the umask, as the file would get if written in place.
    file.fd = open(file.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd >= 0) return true;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  file.temp.clear();
  return Fail(OutputFailure::Step::kBegin, error);
}

bool OutputFiles::Write(const void* data, size_t bytes) {
  Pending& file = *files_.back();
  const char* at = static_cast<const char*>(data);
  if (target_ == Target::kMemory) {
    file.bytes.append(at, bytes);
    return true;
  }
  while (bytes > 0) {
    const ssize_t put = write(file.fd, at, bytes);
    if (put < 0 && errno == EINTR) continue;
    // A write that puts nothing sets no errno: what errno holds then is some earlier error.
    if (put <= 0) return Fail(OutputFailure::Step::kWrite, put < 0 ? errno : EIO);
    at += put;
    bytes -= static_cast<size_t>(put);
  }
  return true;
}

bool OutputFiles::Copy(const std::string& source, uint64_t size) {
  // Taken before the open, so running out of memory cannot leave the descriptor open.
  std::unique_ptr<char[]> chunk(
      new char[static_cast<size_t>(std::clamp<uint64_t>(size, 1, kCopyChunk))]);
  // O_NONBLOCK: a FIFO put where the file was must not hang the open; fstat then refuses it.
  const int fd = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<uint64_t>(info.st_size) != size) {
    if (fd >= 0) close(fd);
    return Fail(OutputFailure::Step::kSourceChanged, 0, source);
  }
  bool ok = true;
  for (uint64_t left = size; left > 0 && ok;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kCopyChunk));
    for (size_t filled = 0; filled < want && ok;) {
      const ssize_t got = read(fd, chunk.get() + filled, want - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) ok = Fail(OutputFailure::Step::kSourceShort, 0, source);
      if (got > 0) filled += static_cast<size_t>(got);
    }
    if (ok) ok = Write(chunk.get(), want);
    left -= want;
  }
  close(fd);
  return ok;
}

bool OutputFiles::End() {
  Pending& file = *files_.back();
  const int fd = file.fd;
  file.fd = -1;
  if (fd >= 0 && close(fd) != 0) return Fail(OutputFailure::Step::kClose, errno);
  return true;
}

void OutputFiles::PutBack(size_t committed) {
  while (committed-- > 0) files_[committed]->Restore();
}

bool OutputFiles::Commit() {
  if (target_ == Target::kMemory) return true;
  for (size_t f = 0; f < files_.size(); ++f) {
    Pending& file = *files_[f];
    // The file it replaces stays reachable under a second name until the output is settled,
    // so that it can be put back when a later file fails.
    file.backup = file.temp;
    file.backup += ".old";
    if (link(file.final.c_str(), file.backup.c_str()) != 0) file.backup.clear();
    if (std::rename(file.temp.c_str(), file.final.c_str()) != 0) {
      const int error = errno;
      if (!file.backup.empty()) unlink(file.backup.c_str());
      file.backup.clear();
      PutBack(f);
      failure_ = {OutputFailure::Step::kCommit, error, file.final, {}};
      return false;
    }
    file.temp.clear();
    file.committed = true;
  }
  for (const auto& file : files_) file->Settle();
  settled_ = true;
  return true;
}

std::vector<std::string> OutputFiles::TakeContents() {
  std::vector<std::string> contents;
  for (const auto& file : files_) contents.push_back(std::move(file->bytes));
  return contents;
}

}  // namespace sceneio
