// Reading and writing saved component states.
#include "tools/state_file.h"

#include "tools/probe_error.h"

#include <fstream>
#include <iterator>

namespace norvo::probe {

std::vector<char> readStateFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ProbeError("cannot read the state file " + path);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ProbeError("cannot read the state file " + path);
  return bytes;
}

void writeStateFile(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) throw ProbeError("cannot write the state file " + path);
}

}  // namespace norvo::probe
