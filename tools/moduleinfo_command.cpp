// The `moduleinfo` command.
#include "tools/moduleinfo_command.h"

#include "tools/module_info_json.h"
#include "tools/probe_error.h"
#include "tools/vst3_module.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace norvo::probe {

namespace fs = std::filesystem;

namespace {

// Writes beside the target and renames over it, so readers see the old file or the new one.
void writeFileWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp" + std::to_string(getpid());
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) throw ProbeError("cannot write " + path + ": " + std::strerror(errno));
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) {
    const int error = written ? errno : writeError;
    std::remove(temporary.c_str());
    throw ProbeError("cannot write " + path + ": " + std::strerror(error));
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    throw ProbeError("cannot write " + path + ": " + std::strerror(error));
  }
}

}  // namespace

void runModuleInfo(const std::string& bundlePath, const std::string& outputPath,
                   std::ostream& out) {
  ModuleInfoFacts facts;
  {
    Vst3Module module(bundlePath);
    Steinberg::IPluginFactory& factory = *module.factory();
    facts.factory = readFactoryFacts(factory);
    facts.classes = readFactoryClasses(factory);
  }
  facts.name = bundleModuleName(bundlePath);
  facts.version = moduleVersion(facts.classes);
  const std::string json = writeModuleInfoJson(facts);
  if (outputPath.empty())
    out << json;
  else
    writeFileWhole(outputPath, json);
}

std::optional<std::string> readModuleInfoFile(const std::string& bundlePath) {
  const std::string path = moduleInfoFilePath(bundlePath);
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return std::nullopt;
  if (!fs::is_regular_file(path, ec)) throw ProbeError("cannot read " + path + ": not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ProbeError("cannot read " + path);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw ProbeError("cannot read " + path);
  return text;
}

}  // namespace norvo::probe
