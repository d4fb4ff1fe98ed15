// Finding the file of the loaded image (shared library or executable) that contains an
// address. One implementation per platform (module_location_linux.cpp uses dladdr).
// Any thread.
#pragma once

#include <string>

namespace norvo {

// The path of the image containing `address`, as the dynamic loader knows it (possibly
// relative); empty when the address lies in no loaded image.
std::string moduleFilePathForAddress(const void* address);

}  // namespace norvo
