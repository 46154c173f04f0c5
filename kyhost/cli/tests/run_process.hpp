// Runs a program with arguments and standard input, capturing its standard
// output, standard error and exit status.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ky::testing {

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         const std::vector<std::pair<std::string, std::string>>& environment = {});

}  // namespace ky::testing
