// Runs tpatch in-process and keeps what it printed.
#pragma once

#include <gmock/gmock.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

using ::testing::HasSubstr;

struct Outcome {
    int status;
    std::string out, err;
};

inline Outcome Tpatch(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = tpatch::RunTpatch(args, out, err);
    return {status, out.str(), err.str()};
}
