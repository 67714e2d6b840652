#include "app/settings/settings_store.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/byte_string.h"
#include "common/file_descriptor.h"
#include "common/posix_io.h"
#include "common/private_folder.h"

namespace corvasse {

namespace {

bool IsComment(std::string_view trimmed) { return !trimmed.empty() && (trimmed[0] == '#' || trimmed[0] == ';'); }

// "[Name]" gives Name; anything else gives nothing.
std::optional<std::string> GroupName(std::string_view line) {
    std::string trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
    return Trim(std::string_view(trimmed).substr(1, trimmed.size() - 2));
}

// The name before the first "=", or nothing for a line that holds no value.
std::optional<std::string> ValueName(std::string_view line) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || IsComment(trimmed) || GroupName(trimmed)) return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        char next = text[i + 1];
        switch (next) {
            case 's':
                out += ' ';
                ++i;
                break;
            case 't':
                out += '\t';
                ++i;
                break;
            case 'n':
                out += '\n';
                ++i;
                break;
            case 'r':
                out += '\r';
                ++i;
                break;
            case '\\':
                out += '\\';
                ++i;
                break;
            case 'x': {
                int hi = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
                int lo = i + 3 < text.size() ? HexValue(text[i + 3]) : -1;
                if (hi < 0 || lo < 0) {
                    out += c;  // not a byte escape: the pair stands as it is
                    break;
                }
                out += static_cast<char>(hi * 16 + lo);
                i += 3;
                break;
            }
            default: out += c; break;
        }
    }
    // A NUL ends the text, as it would in a registry string.
    size_t nul = out.find('\0');
    if (nul != std::string::npos) out.resize(nul);
    return out;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const bool atEdge = i == 0 || i + 1 == text.size();
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 32) {
            AppendHexEscape(out, "\\x", c);
        } else if (c == ' ' && atEdge) {
            out += "\\s";  // surrounding blanks would be trimmed away on reading
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The file as lines without their endings. Each line keeps the ending it was
// read with ("\n", "\r\n", or none for a last line without one), so that a
// rewrite changes nothing but the value it writes; a new line takes the
// ending of the file's first line.
struct Document {
    std::vector<std::string> lines;
    std::vector<std::string> endings;
    std::string newLineEnding = "\n";

    void Insert(size_t at, std::string line) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        endings.insert(endings.begin() + static_cast<std::ptrdiff_t>(at), newLineEnding);
        // A line added after one without an ending needs one between them.
        if (at > 0 && endings[at - 1].empty()) endings[at - 1] = newLineEnding;
    }
    void Append(std::string line) { Insert(lines.size(), std::move(line)); }
    void Erase(size_t at) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
        endings.erase(endings.begin() + static_cast<std::ptrdiff_t>(at));
    }
};

// Where a section's lines are: the group line and one past its last line.
struct GroupRange {
    size_t header;
    size_t end;
};

std::optional<GroupRange> FindGroup(const Document& doc, std::string_view section) {
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        auto name = GroupName(doc.lines[i]);
        if (!name || !EqualsNoCase(*name, section)) continue;
        size_t end = i + 1;
        while (end < doc.lines.size() && !GroupName(doc.lines[end])) ++end;
        return GroupRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindValue(const Document& doc, const GroupRange& group, std::string_view key) {
    for (size_t i = group.header + 1; i < group.end; ++i) {
        auto name = ValueName(doc.lines[i]);
        if (name && EqualsNoCase(*name, key)) return i;
    }
    return std::nullopt;
}

// Reads the file's text; a missing file is an empty text, an unreadable one none.
std::optional<std::string> ReadText(const std::filesystem::path& path, bool& missing) {
    missing = false;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) {
        missing = errno == ENOENT;
        if (missing) return std::string();
        return std::nullopt;
    }
    std::string content;
    if (!ReadToEnd(file.Get(), content)) return std::nullopt;
    return content;
}

Document Parse(const std::string& content) {
    Document doc;
    size_t start = 0;
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {
            doc.lines.push_back(content.substr(start));
            doc.endings.emplace_back();
            break;
        }
        std::string line = content.substr(start, nl - start);
        std::string ending = "\n";
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            ending = "\r\n";
        }
        if (doc.lines.empty()) doc.newLineEnding = ending;
        doc.lines.push_back(std::move(line));
        doc.endings.push_back(std::move(ending));
        start = nl + 1;
    }
    return doc;
}

// Reads the file; a missing file is an empty document, an unreadable one an error.
std::optional<Document> Load(const std::filesystem::path& path, bool& missing) {
    std::optional<std::string> text = ReadText(path, missing);
    if (!text) return std::nullopt;
    return Parse(*text);
}

// The process that wrote a temporary file "<file>.<pid>.XXXXXX", when the
// name has that form.
std::optional<pid_t> TempFileOwner(std::string_view name, std::string_view fileName) {
    constexpr size_t kRandomPart = 6;  // what mkstemp puts in place of XXXXXX
    if (!name.starts_with(fileName) || name.size() < fileName.size() + kRandomPart + 3) return std::nullopt;
    const std::string_view rest = name.substr(fileName.size());
    const size_t secondDot = rest.size() - kRandomPart - 1;
    const std::string_view random = rest.substr(secondDot + 1);
    auto isAlphanumeric = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    if (rest.front() != '.' || rest[secondDot] != '.' || !IsDecimalDigits(rest.substr(1, secondDot - 1)) ||
        !std::all_of(random.begin(), random.end(), isAlphanumeric)) {
        return std::nullopt;
    }
    return TryStrToInt(rest.substr(1, secondDot - 1));
}

// A save killed between creating its temporary file and renaming it leaves
// that file behind. Those of processes that no longer exist are removed; a
// live process's file may be a save in progress and stays. Tidying only: a
// folder that cannot be listed leaves the files and does not stop the save.
void RemoveAbandonedTempFiles(const std::filesystem::path& path) {
    const std::string fileName = path.filename().string();
    std::error_code error;
    for (std::filesystem::directory_iterator it(path.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::optional<pid_t> owner = TempFileOwner(it->path().filename().string(), fileName);
        if (owner && *owner != ::getpid() && ::kill(*owner, 0) != 0 && errno == ESRCH && it->is_regular_file(error)) {
            ::unlink(it->path().c_str());
        }
    }
}

// Replaces the file as a whole: a reader sees either the old or the new file.
bool Save(const std::filesystem::path& path, const Document& doc) {
    std::string content;
    for (size_t i = 0; i < doc.lines.size(); ++i) content += doc.lines[i] + doc.endings[i];
    RemoveAbandonedTempFiles(path);
    // The writer's process number in the name tells whether the file is abandoned.
    std::string tempName = path.string() + "." + std::to_string(::getpid()) + ".XXXXXX";
    FileDescriptor file(::mkstemp(tempName.data()));
    if (!file.Valid()) return false;
    bool ok = ::fchmod(file.Get(), 0600) == 0 && WriteAll(file.Get(), content) && ::fsync(file.Get()) == 0;
    ok = file.Close() == 0 && ok;
    if (ok) ok = ::rename(tempName.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tempName.c_str());
        return false;
    }
    const FileDescriptor folder(::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) ::fsync(folder.Get());
    return true;
}

// The value as the text holds it; nothing when its section or the value is missing.
std::optional<std::string> FindSetting(const std::string& content, std::string_view section, std::string_view key) {
    const Document doc = Parse(content);
    auto group = FindGroup(doc, section);
    if (!group) return std::nullopt;
    auto index = FindValue(doc, *group, key);
    if (!index) return std::nullopt;
    const std::string& line = doc.lines[*index];
    return Unescape(Trim(std::string_view(line).substr(line.find('=') + 1)));
}

void WriteValue(const std::filesystem::path& path, std::string_view section, std::string_view key,
                std::string_view value) {
    bool missing = false;
    auto doc = Load(path, missing);
    // Never rewrite a file that could not be read: its values would be lost.
    if (!doc) throw RegistryError("Failed to set data for '" + std::string(key) + "'");
    if (missing) doc->Append(std::string(kSettingsFileHeader));

    std::string line = std::string(key) + "=" + Escape(value);
    auto group = FindGroup(*doc, section);
    if (!group) {
        if (!doc->lines.empty() && !Trim(doc->lines.back()).empty()) doc->Append("");
        doc->Append("[" + std::string(section) + "]");
        doc->Append(line);
    } else if (auto index = FindValue(*doc, *group, key)) {
        doc->lines[*index] = line;
    } else {
        // After the group's last non-blank line, so a blank separator stays before the next group.
        size_t insertAt = group->end;
        while (insertAt > group->header + 1 && Trim(doc->lines[insertAt - 1]).empty()) --insertAt;
        doc->Insert(insertAt, line);
    }
    if (!Save(path, *doc)) throw RegistryError("Failed to set data for '" + std::string(key) + "'");
}

void DeleteValue(const std::filesystem::path& path, std::string_view section, std::string_view key) {
    bool missing = false;
    auto doc = Load(path, missing);
    if (!doc || missing) return;
    auto group = FindGroup(*doc, section);
    if (!group) return;
    auto index = FindValue(*doc, *group, key);
    if (!index) return;
    doc->Erase(*index);
    Save(path, *doc);  // the outcome of a removal is not reported
}

}  // namespace

SettingsStore::SettingsStore(std::filesystem::path folder) : SettingsStore(std::move(folder), kSettingsFileName) {}

SettingsStore::SettingsStore(std::filesystem::path folder, std::filesystem::path fileName)
    : folder_(std::move(folder)), fileName_(std::move(fileName)) {}

SettingsStore SettingsStore::AtFile(const std::filesystem::path& file) {
    // Absolute, so that a bare file name still has a folder.
    const std::filesystem::path path = std::filesystem::absolute(file);
    return SettingsStore(path.parent_path(), path.filename());
}

std::optional<std::filesystem::path> SettingsStore::UserFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != '\0') return std::filesystem::path(config) / "Corvasse";
    const char* home = std::getenv("HOME");
    if (home == nullptr) return std::nullopt;
    return std::filesystem::path(home) / ".config" / "Corvasse";
}

std::filesystem::path SettingsStore::DefaultFolder() {
    return UserFolder().value_or(std::filesystem::path(".") / ".config" / "Corvasse");
}

std::filesystem::path SettingsStore::FilePath() const { return folder_ / fileName_; }

bool SettingsStore::HasSharedFile() const { return fileName_ != kSettingsFileName; }

SettingsStore::FileReads::FileReads(const FileReads& other) {
    const std::lock_guard lock(other.mutex);
    kept = other.kept;
    lastRead = other.lastRead;
}

SettingsStore::FileReads& SettingsStore::FileReads::operator=(const FileReads& other) {
    if (this == &other) return *this;
    const std::scoped_lock lock(mutex, other.mutex);
    kept = other.kept;
    lastRead = other.lastRead;
    return *this;
}

std::string SettingsStore::FileContent(StoreFile file, std::string_view key) const {
    FileReads& reads = file == StoreFile::Own ? ownReads_ : sharedReads_;
    // Held while the file is read: a plain read that never waits on the network.
    const std::lock_guard lock(reads.mutex);
    if (reads.kept) return *reads.kept;
    if (source_) return *(reads.kept = source_->FileContent(file, key));
    bool missing = true;
    std::optional<std::string> text;
    try {
        if (folderCreation_ == FolderCreation::OnEveryCall) CreatePrivateFolder(folder_);
        text = ReadText(file == StoreFile::Own ? FilePath() : folder_ / kSettingsFileName, missing);
    } catch (const std::system_error&) {
        // Without the folder there is no file either: everything reads as missing.
        text = std::string();
    }
    if (lostFile_ == LostFile::ReadsAsLastRead) {
        if (text && !missing) {
            reads.lastRead = *text;
        } else if (reads.lastRead) {
            text = reads.lastRead;
        }
    }
    if (!text) throw RegistryError("Failed to get data for '" + std::string(key) + "'");
    if (keepFirstRead_) reads.kept = *text;
    return std::move(*text);
}

std::string SettingsStore::ReadSetting(std::string_view section, std::string_view key) const {
    for (const Replacement& replacement : overrides_) {
        if (EqualsNoCase(replacement.section, section) && EqualsNoCase(replacement.key, key)) return replacement.value;
    }
    std::optional<std::string> value = FindSetting(FileContent(StoreFile::Own, key), section, key);
    if (!value && HasSharedFile()) value = FindSetting(FileContent(StoreFile::Shared, key), section, key);
    return value.value_or(std::string(kAbsentSetting));
}

void SettingsStore::KeepFirstRead() { keepFirstRead_ = true; }

SettingsStore SettingsStore::Snapshot() const {
    SettingsStore snapshot = *this;
    snapshot.source_ = this;
    return snapshot;
}

SettingsStore::HeldReads::HeldReads(SettingsStore& store) : store_(store), wasKeeping_(store.keepFirstRead_) {
    store_.keepFirstRead_ = true;
}

SettingsStore::HeldReads::~HeldReads() {
    if (wasKeeping_) return;
    store_.keepFirstRead_ = false;
    store_.ForgetKeptReads();
}

void SettingsStore::ReadNoFile() {
    keepFirstRead_ = true;
    for (FileReads* reads : {&ownReads_, &sharedReads_}) {
        const std::lock_guard lock(reads->mutex);
        reads->kept = std::string();
    }
}

void SettingsStore::ForgetKeptReads() {
    for (FileReads* reads : {&ownReads_, &sharedReads_}) {
        const std::lock_guard lock(reads->mutex);
        reads->kept.reset();
    }
}

void SettingsStore::Override(std::string_view section, std::string_view key, std::string_view value) {
    for (Replacement& replacement : overrides_) {
        if (EqualsNoCase(replacement.section, section) && EqualsNoCase(replacement.key, key)) {
            replacement.value = value;
            return;
        }
    }
    overrides_.push_back({std::string(section), std::string(key), std::string(value)});
}

std::optional<std::filesystem::path> SettingsStore::FileToChange(std::string_view section, std::string_view key,
                                                                 SettingScope scope) const {
    if (scope == SettingScope::Watch || !HasSharedFile()) return FilePath();
    bool missing = false;
    std::optional<std::string> own = ReadText(FilePath(), missing);
    if (!own) return std::nullopt;
    // A value the watch's file sets by hand stays the watch's own.
    if (FindSetting(*own, section, key)) return FilePath();
    return folder_ / kSettingsFileName;
}

void SettingsStore::WriteSetting(std::string_view section, std::string_view key, std::string_view value,
                                 SettingScope scope) {
    ForgetKeptReads();
    try {
        CreatePrivateFolder(folder_);
    } catch (const std::system_error&) {
        throw RegistryError("Failed to create key " + std::string(section));
    }
    const std::optional<std::filesystem::path> file = FileToChange(section, key, scope);
    if (!file) throw RegistryError("Failed to set data for '" + std::string(key) + "'");
    WriteValue(*file, section, key, value);
}

void SettingsStore::DeleteSetting(std::string_view section, std::string_view key, SettingScope scope) {
    ForgetKeptReads();
    try {
        CreatePrivateFolder(folder_);
    } catch (const std::system_error&) {
        return;
    }
    if (const std::optional<std::filesystem::path> file = FileToChange(section, key, scope)) {
        DeleteValue(*file, section, key);
    }
}

}  // namespace corvasse
