// Linux: the image containing an address, from the dynamic loader (dladdr).
#include "editor/module_location.h"

#include <dlfcn.h>

namespace norvo {

std::string moduleFilePathForAddress(const void* address) {
  if (address == nullptr) {
    return {};
  }
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return info.dli_fname;
}

}  // namespace norvo
