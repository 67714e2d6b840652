#include "app/watch_list/window_title.h"

#include <filesystem>

#include "app/settings/settings_store.h"

namespace corvasse {

std::string MainWindowTitle(std::string_view watchName) {
    if (watchName == std::filesystem::path(kSettingsFileName).stem().string()) {
        return "Corvasse - watches a web page or a host";
    }
    return "Corvasse - " + std::string(watchName);
}

}  // namespace corvasse
