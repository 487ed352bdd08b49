// The command-line client: runs one command against a board through the
// controller object.
#pragma once

#include <string>
#include <vector>

namespace quillmoor::cli {

enum ExitCode : int { kSuccess = 0, kBoardFailed = 1, kUsageError = 2 };

struct Request {
    std::string port;     // "auto", "COMn", a number, or a device path
    bool trace = false;
    std::string command;  // status, focus, filter, save, load
    std::string argument;
};

// Parses the arguments; an empty error means success.
std::string ParseArguments(const std::vector<std::string>& args, Request& request);
std::string Usage();
int Run(const Request& request);

}  // namespace quillmoor::cli
