// How the text fields of the editor are read as whole numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zave {

// Leading blanks and tabs are skipped, an optional '+' or '-' is taken, then
// decimal digits up to the first other character; no digits reads as 0.
// Values beyond the 32-bit range saturate.
int32_t readInteger(std::string_view text);

// The start shared by every number read from a field: leading blanks and
// tabs skipped, then an optional '+' or '-'.
struct NumberStart {
    size_t next;    // position after the blanks and the sign
    bool negative;
};
NumberStart skipBlanksAndSign(std::string_view text);

}  // namespace zave
