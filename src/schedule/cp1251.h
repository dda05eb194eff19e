#pragma once

#include <string>
#include <string_view>

namespace zave {

// UTF-8 text to Windows-1251; characters the code page cannot hold become '?'.
std::string utf8ToCp1251(std::string_view utf8);
// Windows-1251 bytes to UTF-8. Every byte maps, the unassigned 0x98 to U+0098,
// so utf8ToCp1251(cp1251ToUtf8(b)) == b for any bytes b.
std::string cp1251ToUtf8(std::string_view bytes);

}  // namespace zave
