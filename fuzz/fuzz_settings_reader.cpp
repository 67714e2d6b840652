// The settings file reader: the input is the file; every value named in it is
// read, and one is written back into it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/settings/settings_store.h"

namespace {

std::filesystem::path Folder() {
    static const std::filesystem::path folder = [] {
        const char* shm = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string name = std::string(shm) + "/corvasse-fuzz-XXXXXX";
        if (::mkdtemp(name.data()) == nullptr) std::abort();
        return std::filesystem::path(name);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvasse::SettingsStore store(Folder());
    std::string_view text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream file(store.FilePath(), std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // Sections and keys named in the file itself, and some it does not have.
    std::string section = "Monitor";
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.size() > 2 && line.front() == '[') section = std::string(line.substr(1, line.size() - 2));
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos) store.ReadSetting(section, line.substr(0, eq));
        start = end + 1;
    }
    store.ReadSetting("Monitor", "URL");
    try {
        store.WriteSetting(section, "Key", std::string_view(text).substr(0, 40));
        store.DeleteSetting("Monitor", "URL");
    } catch (const corvasse::RegistryError&) {}
    return 0;
}
