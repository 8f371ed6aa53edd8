// The files one output is made of, written beside their final paths and put in place together:
// either all of them land, or none does and whatever stood at those paths is as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sceneio {

// What stopped an output, for the writer that owns it to word.
struct OutputFailure {
  enum class Step : uint8_t {
    kNone,
    kFolder,         // a missing folder on the way to the output could not be made
    kBegin,          // the file beside the final path could not be made
    kWrite,          // a write failed
    kClose,          // the close reported an error
    kCommit,         // the rename into place failed
    kSourceChanged,  // a file to copy is gone, or not the size it had when planned
    kSourceShort,    // a file to copy ended early or could not be read
  };
  Step step = Step::kNone;
  int error = 0;               // errno, where one applies
  std::filesystem::path path;  // the final path of the output file concerned
  std::string source;          // the copied file, for the two source steps

  // "cannot make the folder PATH: ...", "cannot write beside PATH: ...", "cannot write PATH: ...",
  // "cannot put PATH in place: ...", "SOURCE changed or vanished ...", "SOURCE could not be read
  // whole".
  std::string Message() const;
};

class OutputFiles {
 public:
  // kDisk puts the files at their paths; kMemory keeps each file's bytes for the caller, and
  // touches no file at all.
  enum class Target : uint8_t { kDisk, kMemory };

  explicit OutputFiles(Target target = Target::kDisk);
  // Removes every file not committed; undoes a commit that has not finished, and removes the
  // folders MakeFolders made unless the commit finished.
  ~OutputFiles();
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // Makes `folder` and every missing folder above it, so that files can be begun in it. They
  // belong to the output: they go again, innermost first, unless Commit puts it in place.
  bool MakeFolders(const std::filesystem::path& folder);
  // Starts the next file, to be put at `finalPath` (in the same folder, so the rename cannot
  // cross file systems). Writes go to it until the next Begin. false when it cannot be made.
  bool Begin(const std::filesystem::path& finalPath);
  // Appends all of `bytes` to the file begun last, retrying interrupted and short writes.
  bool Write(const void* data, size_t bytes);
  // Appends the whole of `source`, which must still be a regular file of `size` bytes.
  bool Copy(const std::string& source, uint64_t size);
  // Closes the file begun last; a close that reports an error fails it.
  bool End();
  // Puts every file in place in the order begun (so the one that refers to the others goes
  // last). When one cannot be, the ones before it are put back and no file is left behind.
  bool Commit();

  const OutputFailure& failure() const { return failure_; }
  // kMemory, after Commit: the bytes of each file, in the order begun.
  std::vector<std::string> TakeContents();

 private:
  struct Pending;
  bool Fail(OutputFailure::Step step, int error, const std::string& source = {});
  void PutBack(size_t committed);

  Target target_;
  std::vector<std::unique_ptr<Pending>> files_;
  std::vector<std::filesystem::path> madeFolders_;  // outermost first
  bool settled_ = false;                            // Commit finished
  OutputFailure failure_;
};

}  // namespace sceneio
