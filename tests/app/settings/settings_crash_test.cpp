// The settings file survives the program being killed while it saves: a child
// process saves in a loop and is killed (SIGKILL) at random moments; after
// each kill the file must be whole and hold either the value before the save
// that was cut off or the one after it.

#include "app/settings/settings_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include <unistd.h>

#include "common/byte_string.h"
#include "support/killed_child.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using test::ReadFile;

constexpr int kKills = 200;
constexpr int kMaxKillDelayUs = 20000;

// A value long enough that a save takes several writes' worth of time, with
// its number at both ends so that a torn value cannot pass for a whole one.
std::string ValueFor(int number) {
    const std::string tag = std::to_string(number);
    std::string value = tag + ":";
    while (value.size() < 6000) value += "filler " + tag + " ";
    return value + ":" + tag;
}

// -1 when the text is not a value made by ValueFor.
int NumberOf(const std::string& value) {
    const size_t colon = value.find(':');
    if (colon == std::string::npos) return -1;
    const std::optional<int32_t> number = TryStrToInt(value.substr(0, colon));
    if (!number || value != ValueFor(*number)) return -1;
    return *number;
}

// Every line of the file is blank, a comment, a group or a value.
bool WellFormed(const std::string& content) {
    if (content.empty() || content.back() != '\n') return false;
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') continue;
        if (trimmed.front() == '[' && trimmed.back() == ']') continue;
        if (trimmed.find('=') == std::string::npos) return false;
    }
    return true;
}

// Saves ever higher values; says so on `started` after the first save, so
// that every kill lands somewhere in the loop of saves.
[[noreturn]] void SaveForever(const std::filesystem::path& folder, int from, int started) {
    SettingsStore store(folder);
    for (int number = from;; ++number) {
        try {
            store.WriteSetting("Settings", "counter", ValueFor(number));
        } catch (...) {
            _exit(3);
        }
        if (number == from && ::write(started, "s", 1) != 1) _exit(4);
    }
}

TEST(SettingsCrashTest, FileIsOldOrNewAfterAKillDuringASave) {
    test::TempDir temp;
    const std::filesystem::path folder = temp.Path() / "Corvasse";
    SettingsStore store(folder);
    store.WriteSetting("Settings", "url2watch", "http://example.org/page");
    store.WriteSetting("Settings", "counter", ValueFor(0));
    store.WriteSetting("Mail", "port", "25");

    std::mt19937 random(20261207);
    int last = 0;
    int advanced = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const test::KilledChild child =
            test::RunAndKill([&](int started) { SaveForever(folder, last + 1, started); }, test::KillAfter::FirstWrite,
                             std::chrono::microseconds(random() % kMaxKillDelayUs));
        ASSERT_TRUE(child.killed) << "the saving child ended by itself, status " << child.status;

        const std::string content = ReadFile(store.FilePath());
        ASSERT_TRUE(WellFormed(content)) << "after kill " << kill << ":\n" << content.substr(0, 400);
        // The first save went through; the one the kill cut off may have too.
        const int number = NumberOf(store.ReadSetting("Settings", "counter"));
        ASSERT_GT(number, last) << "after kill " << kill;
        if (number > last + 1) ++advanced;
        last = number;
        EXPECT_EQ(store.ReadSetting("Settings", "url2watch"), "http://example.org/page");
        EXPECT_EQ(store.ReadSetting("Mail", "port"), "25");
    }
    std::printf("[ crash    ] %d kills, %d saves completed, more than the first save before %d kills\n", kKills, last,
                advanced);

    // A kill between creating the temporary file and renaming it leaves that
    // file behind; the next save removes it, so at most the last kill's stays,
    // and the parent's own save clears that one too.
    auto leftovers = [&] {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path() != store.FilePath()) ++count;
        }
        return count;
    };
    EXPECT_LE(leftovers(), 1);
    store.WriteSetting("Settings", "counter", ValueFor(last + 1));
    EXPECT_EQ(leftovers(), 0);
}

}  // namespace
}  // namespace corvasse
