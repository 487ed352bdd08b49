// The settings store on POSIX systems: one text file per key under the user's
// configuration folder. Key "A\B\C" is the file A/B/C.values there. Each line
// holds one value:
//
//     <type, decimal> <data in hex, "-" when empty> <name to the end of line>
//
// Value names match without regard to ASCII case, as registry names do.
// A file that does not parse is read as an empty key; the next save keeps it
// beside the new one as "<file>.corrupt" so that nothing is lost.
#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/user_folders.h"

namespace quillmoor::platform {
namespace {

inline constexpr const char* kStoreFileSuffix = ".values";
inline constexpr const char* kCorruptSuffix = ".corrupt";
// Registry values are limited to about a megabyte; a store file far beyond
// that is not one of ours.
inline constexpr size_t kMaxValueBytes = 1 << 20;
inline constexpr size_t kMaxStoreFileBytes = 16 << 20;
inline constexpr mode_t kFolderMode = 0700;
inline constexpr mode_t kFileMode = 0600;

struct StoredValue {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A name must fit on one line of the file.
bool StorableName(std::string_view name)
{
    return name.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view text, std::vector<uint8_t>& data)
{
    if (text == "-") return true;
    if (text.empty() || text.size() % 2 != 0 || text.size() / 2 > kMaxValueBytes) return false;
    data.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        data.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

bool ParseLine(std::string_view line, StoredValue& value)
{
    const size_t typeEnd = line.find(' ');
    if (typeEnd == std::string_view::npos || typeEnd == 0) return false;
    const auto [typeRest, typeError] = std::from_chars(line.data(), line.data() + typeEnd, value.type);
    if (typeError != std::errc() || typeRest != line.data() + typeEnd) return false;
    const size_t dataEnd = line.find(' ', typeEnd + 1);
    if (dataEnd == std::string_view::npos) return false;
    if (!ParseHex(line.substr(typeEnd + 1, dataEnd - typeEnd - 1), value.data)) return false;
    value.name = line.substr(dataEnd + 1);
    return StorableName(value.name);
}

std::string FormatLine(const StoredValue& value)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line = std::to_string(value.type) + ' ';
    if (value.data.empty()) line += '-';
    for (uint8_t byte : value.data) {
        line += kHex[byte >> 4];
        line += kHex[byte & 0x0F];
    }
    return line + ' ' + value.name + '\n';
}

// The whole file, or nothing when it is not a store this code wrote.
bool ParseStore(std::string_view text, std::vector<StoredValue>& values)
{
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;  // cut short
        StoredValue value;
        if (!ParseLine(text.substr(0, end), value)) return false;
        values.push_back(std::move(value));
        text.remove_prefix(end + 1);
    }
    return true;
}

bool ReadAtMost(int fd, size_t limit, std::string& text)
{
    char chunk[4096];
    while (text.size() < limit) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - text.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Writes text as the new content of path: a new file beside it, synced, then
// renamed over it, so that a crash leaves either the old store or the new one.
bool ReplaceFile(const std::string& folder, const std::string& path, const std::string& text,
                 bool keepOldAsCorrupt)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, kFileMode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && keepOldAsCorrupt) ::rename(path.c_str(), (path + kCorruptSuffix).c_str());
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

bool MakeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (::mkdir(prefix.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// "A\B\C" -> "A/B" and "C"; false for an empty part, "." or "..", or a part
// that a file name cannot hold.
bool SplitKeyPath(const std::string& keyPath, std::string& folders, std::string& leaf)
{
    std::vector<std::string> parts;
    std::istringstream stream(keyPath);
    for (std::string part; std::getline(stream, part, '\\');) parts.push_back(part);
    if (parts.empty() || keyPath.back() == '\\') return false;
    for (const std::string& part : parts) {
        if (part.empty() || part == "." || part == ".." ||
            part.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
            return false;
    }
    leaf = parts.back();
    parts.pop_back();
    for (const std::string& part : parts) folders += '/' + part;
    return true;
}

class FileSettingsKey final : public SettingsKey {
public:
    FileSettingsKey(std::string folder, std::string path, std::vector<StoredValue> values,
                    bool wasCorrupt)
        : folder_(std::move(folder)), path_(std::move(path)), values_(std::move(values)),
          wasCorrupt_(wasCorrupt)
    {
    }

    ~FileSettingsKey() override
    {
        if (!changed_) return;
        std::string text;
        for (const StoredValue& value : values_) text += FormatLine(value);
        ReplaceFile(folder_, path_, text, wasCorrupt_);
    }

    bool Query(const char* name, uint8_t* buffer, uint32_t& size, uint32_t& type) override
    {
        const StoredValue* value = Find(name);
        if (value == nullptr) return false;
        if (buffer != nullptr) {
            if (value->data.size() > size) return false;
            std::copy(value->data.begin(), value->data.end(), buffer);
        }
        size = static_cast<uint32_t>(value->data.size());
        type = value->type;
        return true;
    }

    bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) override
    {
        if (name == nullptr || !StorableName(name) || size > kMaxValueBytes) return false;
        if (data == nullptr && size != 0) return false;
        StoredValue* value = Find(name);
        if (value == nullptr) value = &values_.emplace_back(StoredValue{name, 0, {}});
        value->type = type;
        value->data.assign(data, data + size);
        changed_ = true;
        return true;
    }

private:
    StoredValue* Find(const char* name)
    {
        if (name == nullptr) return nullptr;
        for (StoredValue& value : values_)
            if (SameName(value.name, name)) return &value;
        return nullptr;
    }

    std::string folder_;
    std::string path_;
    std::vector<StoredValue> values_;
    bool wasCorrupt_;
    bool changed_ = false;
};

}  // namespace

std::unique_ptr<SettingsKey> OpenSettingsKey(const std::string& keyPath)
{
    const std::string root = UserConfigFolder();
    std::string folders, leaf;
    if (root.empty() || !SplitKeyPath(keyPath, folders, leaf)) return nullptr;
    const std::string folder = root + folders;
    const std::string path = folder + '/' + leaf + kStoreFileSuffix;
    // Saving renames a new file into the folder, so a folder that cannot be
    // written is a key that cannot be opened for writing.
    if (!MakeFolders(folder) || ::access(folder.c_str(), W_OK) != 0) return nullptr;

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // A new key exists as soon as it is opened, as a created registry key does.
        if (errno != ENOENT || !ReplaceFile(folder, path, {}, false)) return nullptr;
        return std::make_unique<FileSettingsKey>(folder, path, std::vector<StoredValue>{}, false);
    }
    std::string text;
    const bool read = ReadAtMost(fd, kMaxStoreFileBytes + 1, text);
    ::close(fd);
    if (!read) return nullptr;

    std::vector<StoredValue> values;
    const bool parsed = text.size() <= kMaxStoreFileBytes && ParseStore(text, values);
    if (!parsed) values.clear();
    return std::make_unique<FileSettingsKey>(folder, path, std::move(values), !parsed);
}

std::unique_ptr<SettingsKey> OpenAccountSettingsKey(const std::string& keyPath) { return OpenSettingsKey(keyPath); }

}  // namespace quillmoor::platform
