#include "platform/Registry.h"

#include "platform/AsciiText.h"
#include "platform/FileSave.h"
#include "platform/IniDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

std::vector<std::string> Components(const std::string& key)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : key) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// The key's components below its root, and its root ("HKEY_CURRENT_USER"
// when the key names none).
struct TRootedKey {
    std::vector<std::string> Parts;
    std::string Root = "HKEY_CURRENT_USER";
};

TRootedKey Rooted(const std::string& key)
{
    TRootedKey rooted{Components(key)};
    if (!rooted.Parts.empty() && rooted.Parts[0].rfind("HKEY_", 0) == 0) {
        if (!SameText(rooted.Parts[0], "HKEY_CURRENT_USER"))
            rooted.Root = rooted.Parts[0];
        rooted.Parts.erase(rooted.Parts.begin());
    }
    return rooted;
}

// The file and group of a key. A key below "Software\<Maker>" lives in the
// maker's file (of the user's root in the config folder, of another root in
// registry/<root>/); every other key of a root lives in the root's own file
// registry/<root>.ini, its whole path the group.
std::pair<std::string, std::string> Locate(const std::string& key)
{
    const TRootedKey rooted = Rooted(key);
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + "/.config";
    const QString registry = config + "/registry";
    const QString root = QString::fromStdString(rooted.Root);
    QString folder;
    QString file;
    std::size_t first = 0;
    if (rooted.Parts.size() >= 2 && SameText(rooted.Parts[0], "Software")) {
        folder = rooted.Root == "HKEY_CURRENT_USER" ? config : registry + "/" + root;
        file = QString::fromStdString(rooted.Parts[1]);
        first = 2;
    } else {
        folder = registry;
        file = root;
    }
    std::string group;
    for (std::size_t i = first; i < rooted.Parts.size(); ++i) {
        if (!group.empty())
            group += '/';
        group += rooted.Parts[i];
    }
    return {(folder + "/" + file + ".ini").toStdString(), group};
}

} // namespace

std::string TRegistry::IniFileOf(const std::string& key)
{
    return Locate(key).first;
}

std::string TRegistry::GroupOf(const std::string& key)
{
    return Locate(key).second;
}

namespace {

// What this run changed in a settings file and has not yet written.
struct TChange {
    enum TKind { Set, RemoveValue, RemoveGroup } Kind;
    std::string Key;
    std::string Value;
};

void Apply(TIniDocument& document, const TChange& change)
{
    switch (change.Kind) {
    case TChange::Set: document.SetValue(change.Key, change.Value); break;
    case TChange::RemoveValue: document.RemoveValue(change.Key); break;
    case TChange::RemoveGroup: document.RemoveGroup(change.Key); break;
    }
}

// What a look at a file shows of it without reading it: a file whose look is
// the same as at its last reading holds what it held then.
struct TFileLook {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    mode_t Mode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    static TFileLook Of(const struct stat& st)
    {
        return {true, st.st_dev, st.st_ino, st.st_mode, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const TFileLook& o) const
    {
        const auto same = [](const timespec& a, const timespec& b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return Exists == o.Exists && Device == o.Device && Inode == o.Inode && Mode == o.Mode && Size == o.Size &&
               same(Modified, o.Modified) && same(Changed, o.Changed);
    }
};

// One settings file as the program sees it: the file as it was last read or
// written, with this run's changes on top. Each access looks at the file and
// reads it again when it changed, so a change that a person or another
// program makes while this one runs is seen, and this run's changes are laid
// over it again.
struct TSettingsFile {
    bool Known = false;
    bool Exists = false;
    int ReadError = 0; // the file is there but could not be read
    std::string Bytes;
    TIniDocument Document;
    std::vector<TChange> Pending;
    TFileLook Look;       // the file when it was last read
    bool Settled = false; // and it had not changed for SettleMs then
};

std::mutex gFilesLock;
std::map<std::string, TSettingsFile> gFiles;

// The error of a settings file that is no plain file (a device, a pipe).
constexpr int kNotRegular = EINVAL;

timespec Now()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// Whether a file changed at `changed` had not changed for SettleMs at `now`.
bool SettledAt(const timespec& changed, const timespec& now)
{
    const long long ms = (now.tv_sec - changed.tv_sec) * 1000LL + (now.tv_nsec - changed.tv_nsec) / 1000000;
    return ms >= TRegistry::SettleMs;
}

// The file's bytes; a missing file is empty. Only a plain file is read:
// anything else (a device that never ends, a pipe) is there but unreadable.
// It is opened without waiting, so a pipe never holds the program up. `look`
// is what the opened file showed.
std::string ReadBytes(const std::string& path, bool& exists, int& error, TFileLook& look)
{
    exists = false;
    error = 0;
    look = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT) {
            exists = true;
            error = errno;
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0)
                look = TFileLook::Of(st);
        }
        return {};
    }
    exists = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else {
        look = TFileLook::Of(st);
        if (S_ISDIR(st.st_mode))
            error = EISDIR;
        else if (!S_ISREG(st.st_mode))
            error = kNotRegular;
    }
    std::string bytes;
    if (!error && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    while (!error) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return error ? std::string() : bytes;
}

// What a look at the file shows now.
TFileLook LookAt(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return TFileLook::Of(st);
}

// Called with gFilesLock held.
TSettingsFile& Current(const std::string& path)
{
    TSettingsFile& file = gFiles[path];
    if (file.Known && file.Settled && LookAt(path) == file.Look)
        return file;
    // The time before the look: a change after it shows in the file's times.
    const timespec now = Now();
    bool exists = false;
    int error = 0;
    TFileLook look;
    std::string bytes = ReadBytes(path, exists, error, look);
    file.Look = look;
    file.Settled = !look.Exists || SettledAt(look.Changed, now);
    if (!file.Known || bytes != file.Bytes || exists != file.Exists || error != file.ReadError) {
        file.Known = true;
        file.Exists = exists;
        file.ReadError = error;
        file.Bytes = std::move(bytes);
        file.Document = TIniDocument::Parse(file.Bytes);
        for (const TChange& change : file.Pending)
            Apply(file.Document, change);
    }
    return file;
}

// The file of a value, and its path in that file.
std::pair<std::string, std::string> LocateValue(const std::string& key, const std::string& name)
{
    auto [path, group] = Locate(key);
    return {std::move(path), TIniDocument::NormalizedKey(group + "/" + name)};
}

void Change(const std::string& path, TChange change)
{
    std::lock_guard lock(gFilesLock);
    TSettingsFile& file = Current(path);
    Apply(file.Document, change);
    file.Pending.push_back(std::move(change));
}

} // namespace

std::optional<std::string> TRegistry::ReadString(const std::string& key, const std::string& name)
{
    const auto [path, value] = LocateValue(key, name);
    std::lock_guard lock(gFilesLock);
    return Current(path).Document.Value(value);
}

std::optional<std::int32_t> TRegistry::ReadInteger(const std::string& key, const std::string& name)
{
    const auto text = ReadString(key, name);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const qlonglong value = QString::fromStdString(*text).trimmed().toLongLong(&ok);
    if (!ok || value < INT32_MIN || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
}

bool TRegistry::WriteString(const std::string& key, const std::string& name, const std::string& value)
{
    auto [path, place] = LocateValue(key, name);
    Change(path, {TChange::Set, std::move(place), value});
    return true;
}

bool TRegistry::WriteInteger(const std::string& key, const std::string& name, std::int32_t value)
{
    return WriteString(key, name, std::to_string(value));
}

bool TRegistry::ValueExists(const std::string& key, const std::string& name)
{
    return ReadString(key, name).has_value();
}

void TRegistry::DeleteValue(const std::string& key, const std::string& name)
{
    auto [path, place] = LocateValue(key, name);
    Change(path, {TChange::RemoveValue, std::move(place), {}});
}

void TRegistry::DeleteKey(const std::string& key)
{
    auto [path, group] = Locate(key);
    Change(path, {TChange::RemoveGroup, std::move(group), {}});
}

bool TRegistry::KeyExists(const std::string& key)
{
    const auto [path, group] = Locate(key);
    std::lock_guard lock(gFilesLock);
    const TSettingsFile& file = Current(path);
    if (group.empty())
        return file.Exists || !file.Document.Values().empty();
    // A key exists while it holds a value, directly or below.
    return file.Document.HasValuesBelow(group);
}

std::vector<std::string> TRegistry::ValueNames(const std::string& key)
{
    const auto [path, group] = Locate(key);
    std::lock_guard lock(gFilesLock);
    return Current(path).Document.ChildKeys(group);
}

void TRegistry::Flush()
{
    std::lock_guard lock(gFilesLock);
    std::optional<EFileSaveError> failure;
    for (auto& [path, entry] : gFiles) {
        if (entry.Pending.empty())
            continue;
        try {
            // The folder is made when its first file is written.
            QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
            // Another instance of the program may flush the same file: from
            // reading it to saving it anew, each waits for the other, so the
            // values the other wrote and this one did not change stay.
            const TFileLock lock(path);
            TSettingsFile& file = Current(path);
            // A file that is there but cannot be read is not replaced: what
            // it holds would be lost.
            if (file.ReadError == kNotRegular)
                throw EFileSaveError(path, file.ReadError, "Not a regular file");
            if (file.ReadError)
                throw EFileSaveError(path, file.ReadError);
            const std::string text = file.Document.Text();
            if (!file.Exists || text != file.Bytes)
                SaveFile(path, text);
            file.Bytes = text;
            file.Exists = true;
            file.Pending.clear();
        } catch (const EFileSaveError& e) {
            if (!failure)
                failure = e;
        }
    }
    if (failure)
        throw *failure;
}

void TRegistry::Forget()
{
    std::lock_guard lock(gFilesLock);
    gFiles.clear();
}

void TAppRegistryStorage::SetRoot(const std::string& root)
{
    FRoot = root;
    while (!FRoot.empty() && (FRoot.back() == '\\' || FRoot.back() == '/'))
        FRoot.pop_back();
}

std::pair<std::string, std::string> TAppRegistryStorage::Split(const std::string& path) const
{
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return {FRoot, path};
    return {FRoot + "\\" + path.substr(0, cut), path.substr(cut + 1)};
}

std::int32_t TAppRegistryStorage::ReadInteger(const std::string& path, std::int32_t def) const
{
    const auto [key, name] = Split(path);
    return TRegistry::ReadInteger(key, name).value_or(def);
}

std::string TAppRegistryStorage::ReadString(const std::string& path, const std::string& def) const
{
    const auto [key, name] = Split(path);
    return TRegistry::ReadString(key, name).value_or(def);
}

bool TAppRegistryStorage::ReadBoolean(const std::string& path, bool def) const
{
    const auto [key, name] = Split(path);
    const auto text = TRegistry::ReadString(key, name);
    if (!text)
        return def;
    for (const char* t : {"TRUE", "YES", "Y"})
        if (SameText(*text, t))
            return true;
    for (const char* f : {"FALSE", "NO", "N"})
        if (SameText(*text, f))
            return false;
    return def;
}

void TAppRegistryStorage::WriteInteger(const std::string& path, std::int32_t value)
{
    const auto [key, name] = Split(path);
    TRegistry::WriteInteger(key, name, value);
}

void TAppRegistryStorage::WriteString(const std::string& path, const std::string& value)
{
    const auto [key, name] = Split(path);
    TRegistry::WriteString(key, name, value);
}

void TAppRegistryStorage::WriteBoolean(const std::string& path, bool value)
{
    WriteString(path, value ? "TRUE" : "FALSE");
}

void TAppRegistryStorage::DeleteValue(const std::string& path)
{
    const auto [key, name] = Split(path);
    TRegistry::DeleteValue(key, name);
}

bool TAppRegistryStorage::ValueExists(const std::string& path) const
{
    const auto [key, name] = Split(path);
    return TRegistry::ValueExists(key, name);
}
