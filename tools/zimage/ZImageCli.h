// The zimage command: converts and describes pictures with the image library.
#pragma once

#include <ostream>

// Runs one command line; returns the process exit code (0 success,
// 1 the library failed, 2 the command line is wrong).
int RunZImageCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
