// The per-user directory where applications keep their data (platform specific). Main thread.
#pragma once

#include <string>

namespace norvo {

// An absolute path, or empty when the platform cannot name one.
std::string userDataDirectory();

}  // namespace norvo
