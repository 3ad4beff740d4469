// Runs a program as a child process with the given standard input and
// collects its standard output and exit status.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;    // exit status, or -1 when the child did not exit normally
    std::string output; // everything written to standard output
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input);
