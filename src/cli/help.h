// zavectl's help texts, in Russian like the window.
#pragma once

#include <string_view>

namespace zave::cli {

std::string_view mainHelp();
// The help of one subcommand; empty for an unknown name.
std::string_view commandHelp(std::string_view command);
// The help of plan, apply and history (help_plan.cpp); empty for another name.
std::string_view planCommandHelp(std::string_view command);

}  // namespace zave::cli
