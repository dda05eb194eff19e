#include "link/port_holder.h"

namespace zave {

// Windows does not tell which program holds a COM port.
std::string portHolders(const std::string&) { return {}; }

}  // namespace zave
