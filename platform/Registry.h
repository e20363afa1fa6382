#pragma once
// The registry as INI files that a person can read and edit, in the user's
// XDG config folder ($XDG_CONFIG_HOME or ~/.config). A key
// "Software\<Maker>\<rest>" lives in "<Maker>.ini"; <rest> is the group path
// there ("Software\Zorvatek\Tessaro\Directories" is group Tessaro/Directories
// of Zorvatek.ini, "Software\Zorvatek" its top level). Every other key lives
// in its root's own file registry/<root>.ini, its path the group ("Forms\B"
// is group Forms/B of registry/HKEY_CURRENT_USER.ini).
//
// A key may name its root first ("HKEY_CURRENT_USER\Software\..." is the same
// as "Software\..."); the makers' files of the other roots live in folders of
// their own below the config folder ("HKEY_LOCAL_MACHINE\Software\Zorvatek" is
// registry/HKEY_LOCAL_MACHINE/Zorvatek.ini), so they are the user's too.
//
// Integers are written as decimal text, strings as they are. A value that
// does not read as what is asked for counts as missing.
//
// Writes change the values the program reads at once, but reach the files
// only when Flush writes them (the settings at the end of a run, and where a
// value must be stored at once). Each access looks whether the file changed
// (its identity, size and times) and reads it again when it did, so what a
// person or another program changes meanwhile is seen, while a file that
// stays as it is costs a look and no read; Flush lays this run's changes over
// the file as it is then, holding the file's lock (TFileLock) so that two
// instances flushing at once keep each other's values.
//
// Only plain files are read, whatever their size; any other file (a link to
// a device, a pipe) counts as unreadable: its values read as missing, and
// Flush refuses to replace it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TRegistry {
public:
    static std::optional<std::string> ReadString(const std::string& key, const std::string& name);
    static std::optional<std::int32_t> ReadInteger(const std::string& key, const std::string& name);
    static bool WriteString(const std::string& key, const std::string& name, const std::string& value);
    static bool WriteInteger(const std::string& key, const std::string& name, std::int32_t value);
    static bool ValueExists(const std::string& key, const std::string& name);
    // Both are no error when nothing was there.
    static void DeleteValue(const std::string& key, const std::string& name);
    static void DeleteKey(const std::string& key);
    static bool KeyExists(const std::string& key);
    // The value names directly in the key, sorted by name.
    static std::vector<std::string> ValueNames(const std::string& key);

    // Writes every file that this run changed, each through a temporary file
    // that replaces it whole. Raises EFileSaveError (platform/FileSave.h)
    // naming the first file that could not be written and why; that file
    // stays as it was and its changes stay pending (and readable) for the
    // next Flush.
    static void Flush();
    // Drops what this run holds of every file, unwritten changes too: for a
    // process that turns to another settings folder (each test has its own).
    static void Forget();

    // The INI file and group that hold a key.
    static std::string IniFileOf(const std::string& key);

    // A file changed less than this long ago (ms) is read at every access:
    // a change within the same tick of the file system's clock would not
    // show in its times. After that an unchanged file is not read again.
    static constexpr int SettleMs = 2000;
    static std::string GroupOf(const std::string& key);
};

// A settings store with a root key, as the program's components use one:
// value paths such as "Directories\Database" are read below the root.
// Booleans are the texts "TRUE" / "FALSE"; on reading "TRUE", "YES", "Y" and
// "FALSE", "NO", "N" (any case) are understood.
class TAppRegistryStorage {
public:
    const std::string& Root() const { return FRoot; }
    void SetRoot(const std::string& root);

    std::int32_t ReadInteger(const std::string& path, std::int32_t def) const;
    std::string ReadString(const std::string& path, const std::string& def) const;
    bool ReadBoolean(const std::string& path, bool def) const;
    void WriteInteger(const std::string& path, std::int32_t value);
    void WriteString(const std::string& path, const std::string& value);
    void WriteBoolean(const std::string& path, bool value);
    void DeleteValue(const std::string& path);
    bool ValueExists(const std::string& path) const;

private:
    std::pair<std::string, std::string> Split(const std::string& path) const;
    std::string FRoot;
};
