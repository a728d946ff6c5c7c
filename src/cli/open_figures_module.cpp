#include "open_figures_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace genosieve {

namespace fs = std::filesystem;

namespace {

std::string LoaderError() {
  const char* reason = ::dlerror();
  return reason != nullptr ? reason : "unknown reason";
}

}  // namespace

OpenedFiguresModule OpenFiguresModule() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) {
    return {nullptr,
            "cannot find the folder of genosieve-cli (/proc/self/exe): " + error.message()};
  }
  const fs::path folder = program.parent_path();
  fs::path path = folder / kFiguresModuleFile;
  if (!fs::exists(path, error)) {
    path = (folder / GENOSIEVE_FIGURES_MODULE_DIR / kFiguresModuleFile).lexically_normal();
  }
  const auto failed = [&path](std::string_view reason) {
    return OpenedFiguresModule{
        nullptr, "cannot load the figures library '" + path.string() + "': " + std::string(reason)};
  };

  // Every symbol now, so that a broken module fails here rather than in the middle of a
  // Run; its own symbols stay its own. It is not closed on failure: the program ends.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return failed(LoaderError());
  const auto entry = reinterpret_cast<FiguresModuleEntry>(::dlsym(handle, kFiguresModuleEntry));
  if (entry == nullptr) return failed(LoaderError());
  const FiguresModule* module = entry();
  if (module == nullptr) return failed("it gives no figures interface");
  if (module->version != kFiguresModuleVersion) {
    return failed("it has version " + std::to_string(module->version) +
                  " of the figures interface, this genosieve-cli needs version " +
                  std::to_string(kFiguresModuleVersion));
  }
  if (std::string_view(module->programVersion) != GENOSIEVE_VERSION) {
    return failed("it belongs to GENOSIEVE " + std::string(module->programVersion) +
                  ", this genosieve-cli is " GENOSIEVE_VERSION);
  }
  return {module, ""};
}

}  // namespace genosieve
