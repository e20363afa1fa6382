#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>

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

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// The settings object of a key, positioned in the key's group.
struct TKeyFile {
    explicit TKeyFile(const std::string& key)
    {
        const std::string file = TRegistry::IniFileOf(key);
        if (file.empty())
            return;
        Settings = std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
        const std::string group = TRegistry::GroupOf(key);
        if (!group.empty())
            Settings->beginGroup(QString::fromStdString(group));
    }
    std::unique_ptr<QSettings> Settings;
};

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
    QDir().mkpath(folder);
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

std::optional<std::string> TRegistry::ReadString(const std::string& key, const std::string& name)
{
    TKeyFile file(key);
    if (!file.Settings)
        return std::nullopt;
    const QVariant value = file.Settings->value(QString::fromStdString(name));
    if (!value.isValid())
        return std::nullopt;
    return value.toString().toStdString();
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
    TKeyFile file(key);
    if (!file.Settings)
        return false;
    file.Settings->setValue(QString::fromStdString(name), QString::fromStdString(value));
    file.Settings->sync();
    return file.Settings->status() == QSettings::NoError;
}

bool TRegistry::WriteInteger(const std::string& key, const std::string& name, std::int32_t value)
{
    return WriteString(key, name, std::to_string(value));
}

bool TRegistry::ValueExists(const std::string& key, const std::string& name)
{
    TKeyFile file(key);
    return file.Settings && file.Settings->contains(QString::fromStdString(name));
}

void TRegistry::DeleteValue(const std::string& key, const std::string& name)
{
    TKeyFile file(key);
    if (!file.Settings)
        return;
    file.Settings->remove(QString::fromStdString(name));
    file.Settings->sync();
}

void TRegistry::DeleteKey(const std::string& key)
{
    const std::string path = IniFileOf(key);
    if (path.empty())
        return;
    QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
    const std::string group = GroupOf(key);
    if (group.empty())
        settings.clear();
    else
        settings.remove(QString::fromStdString(group));
    settings.sync();
}

bool TRegistry::KeyExists(const std::string& key)
{
    const std::string path = IniFileOf(key);
    if (path.empty() || !QFile::exists(QString::fromStdString(path)))
        return false;
    QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
    const std::string group = GroupOf(key);
    if (group.empty())
        return true;
    // A key exists while it holds a value, directly or below.
    settings.beginGroup(QString::fromStdString(group));
    return !settings.allKeys().isEmpty();
}

std::vector<std::string> TRegistry::ValueNames(const std::string& key)
{
    std::vector<std::string> names;
    TKeyFile file(key);
    if (!file.Settings)
        return names;
    for (const QString& name : file.Settings->childKeys())
        names.push_back(name.toStdString());
    return names;
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
