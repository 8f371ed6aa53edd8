// Runs one of the project's programs in a chosen directory and captures what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace sceneio::testing {

struct ProgramResult {
  std::string out;  // standard output, byte for byte
  int status = -1;  // exit status, or -1 when the program did not exit normally
};

// `arguments` is appended to the command line as it stands (the caller quotes).
inline ProgramResult RunProgram(const std::string& program, const std::string& directory,
                                const std::string& arguments = "") {
  const std::string command = "cd '" + directory + "' && '" + program + "' " + arguments;
  ProgramResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, got);
  const int raw = pclose(pipe);
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  return result;
}

}  // namespace sceneio::testing
