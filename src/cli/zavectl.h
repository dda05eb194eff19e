// zavectl as a function: the arguments after the program name in, the exit
// status out; everything printed goes to the context's streams.
#pragma once

#include <string>
#include <vector>

#include "cli/context.h"

namespace zave::cli {

int runZavectl(const std::vector<std::string>& args, CliContext& ctx);

}  // namespace zave::cli
