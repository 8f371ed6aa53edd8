// Where the benchmarks find the generated scenes, and the plain read every load is measured
// against.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "io/large_block.h"
#include "sceneio/file_buffer.h"

#ifndef SCENEIO_BENCH_SCENES
#define SCENEIO_BENCH_SCENES "scenes"
#endif

namespace sceneio::bench {

// The directory that holds one generated scene (dork.grp and the four files it names).
inline std::string SceneDir(const std::string& scene) {
  const char* root = std::getenv("SCENEIO_BENCH_SCENES");
  return std::string(root != nullptr ? root : SCENEIO_BENCH_SCENES) + "/" + scene;
}

// One file of the scene in `dir`.
inline std::string ScenePath(const std::string& dir, const char* extension) {
  return dir + "/dork" + extension;
}

// A scene path is written with backslashes; on POSIX they become slashes again when opened.
inline std::string GroupPathOf(const std::string& dir) {
  std::string path = ScenePath(dir, ".grp");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline constexpr const char* kExtensions[] = {".grp", ".lgt", ".cam", ".gmf", ".gof"};

inline std::vector<std::string> SceneFiles(const std::string& dir) {
  std::vector<std::string> files;
  for (const char* extension : kExtensions) files.push_back(ScenePath(dir, extension));
  return files;
}

inline int64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

// -1 when any file of the scene is missing.
inline int64_t SceneBytes(const std::string& dir) {
  int64_t total = 0;
  for (const std::string& path : SceneFiles(dir)) {
    const int64_t size = FileSize(path);
    if (size < 0) return -1;
    total += size;
  }
  return total;
}

// How the floor's block is had: fresh from new[] (the plain read), or as the loader has its
// large blocks, 2 MiB-aligned and advised for huge pages.
enum class Block { kPlain, kAdvised };

// What FileBuffer does and nothing more: open, learn the size, one read into a fresh block that
// is not zero-filled, close, free. Returns the bytes read.
inline int64_t ReadWhole(const std::string& path, Block how = Block::kPlain) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  int64_t done = -1;
  if (fstat(fd, &info) == 0) {
    const auto size = static_cast<size_t>(info.st_size);
    BlockPtr<char> block =
        how == Block::kPlain ? BlockPtr<char>(new char[size]) : AllocateBytes(size);
    size_t got = 0;
    while (got < size) {
      const ssize_t n = read(fd, block.get() + got, size - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    done = static_cast<int64_t>(got);
  }
  close(fd);
  return done;
}

// A whole file in a FileBuffer, read once and kept for every iteration of a parser benchmark.
inline const FileBuffer& CachedFile(const std::string& path) {
  static std::vector<std::pair<std::string, std::unique_ptr<FileBuffer>>> cache;
  for (const auto& [name, file] : cache) {
    if (name == path) return *file;
  }
  std::string scenePath = path;
  for (char& c : scenePath) {
    if (c == '/') c = '\\';
  }
  cache.emplace_back(path, std::make_unique<FileBuffer>(scenePath.c_str()));
  return *cache.back().second;
}

}  // namespace sceneio::bench
