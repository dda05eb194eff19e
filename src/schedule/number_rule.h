// How the text fields of the editor are read as whole numbers.
#pragma once

#include <cstdint>
#include <string_view>

namespace zave {

// Leading blanks and tabs are skipped, an optional '+' or '-' is taken, then
// decimal digits up to the first other character; no digits reads as 0.
// Values beyond the 32-bit range saturate.
int32_t readInteger(std::string_view text);

}  // namespace zave
