#include "ui/history_window_module.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace corvasse {

std::vector<std::filesystem::path> HistoryModuleFolders(const std::filesystem::path& program) {
    // From the bin folder to the modules' folder, as the build was configured to install them.
    const std::filesystem::path installed(CORVASSE_MODULES_FROM_BIN);
    const std::filesystem::path folder = program.parent_path();
    return {installed.is_absolute() ? installed : (folder / installed).lexically_normal(), folder};
}

HistoryWindowFactory LoadHistoryWindowModule(const std::vector<std::filesystem::path>& folders) {
    std::string places;
    for (const std::filesystem::path& folder : folders) {
        const std::filesystem::path file = folder / kHistoryWindowModule;
        std::error_code error;
        if (!std::filesystem::exists(file, error)) {
            places += (places.empty() ? "\"" : ", \"") + folder.string() + "\"";
            continue;
        }
        // Never closed: its windows live until the program ends.
        void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        void* factory = module != nullptr ? dlsym(module, kHistoryWindowFactory) : nullptr;
        if (factory == nullptr) throw std::runtime_error("Cannot show the History window: " + std::string(dlerror()));
        return reinterpret_cast<HistoryWindowFactory>(factory);
    }
    throw std::runtime_error("Cannot show the History window: " + std::string(kHistoryWindowModule) +
                             " is in none of " + places);
}

HistoryWindow* NewHistoryWindow(const HandlerGuard& guard, QWidget* parent) {
    static HistoryWindowFactory factory = nullptr;
    if (factory == nullptr) {
        std::error_code error;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) throw std::runtime_error("Cannot show the History window: " + error.message());
        factory = LoadHistoryWindowModule(HistoryModuleFolders(program));
    }
    return factory(guard, parent);
}

}  // namespace corvasse
