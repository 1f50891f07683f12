// Other programs a test starts and waits for: the installer itself, the 7z tool, stand-ins.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// Starts `words[0]` (looked up on the PATH when it names no folder) with the rest as its
// arguments, in `directory` unless that is empty, with standard input from /dev/null and
// standard output and error written to `output`. Its process id, or 0 when it did not start.
pid_t StartProgram(std::vector<std::string> words, const std::string& output = "/dev/null",
                   const std::string& directory = "");
// Waits for a started program: its exit status, 128 + the signal that ended it, or -1.
int WaitForProgram(pid_t pid);

}  // namespace testsupport
