#pragma once
// A per-user hierarchical key store with the shape of the Windows registry: roots, keys named
// by paths with "\" between the levels (case-insensitive, case kept as first written), and
// in each key named values (the empty name is the key's default value) of three types:
// string, 32-bit integer and binary.
//
// Each root is one JSON file in the user's configuration folder
// ($XDG_CONFIG_HOME/kelpa/registry/<root>.json). Every change re-reads the file, applies
// itself and writes the file back whole (through SafeFileWriter), under an exclusive file
// lock, so that two programs of one user can write at the same time without losing each
// other's values. A file that does not read as a store is moved aside (".damaged") by the next
// change, never overwritten; one that cannot be read at all (no permission) fails every change.
#include "platform/SystemResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace kelpa::platform {

enum class RegistryRoot { CurrentUser, ClassesRoot };

// HKEY_ names, for texts and file names.
QString registryRootName(RegistryRoot root);

enum class RegistryValueType { None, String, Integer, Binary };

// Thin handle on one key, opened like the class library's TRegistry. Changes tell the system
// error of the file step that failed (locking, reading, writing or renaming the store); a key
// or value that is not there gives ENOENT, a write with no key open EBADF.
class RegistryKey {
public:
    explicit RegistryKey(RegistryRoot root = RegistryRoot::CurrentUser);

    RegistryRoot root() const { return root_; }

    // Opens `path` (relative to the root; leading "\" allowed). With `create`, missing keys on
    // the way are created. Fails when the key does not exist and was not created, or when the
    // store cannot be written.
    SystemResult openKey(const QString &path, bool create);
    void closeKey();
    bool isOpen() const { return open_; }
    QString currentPath() const { return path_; }

    bool keyExists(const QString &path) const;   // relative to the root
    SystemResult deleteKey(const QString &path); // the key with all its subkeys; fails when missing
    QStringList subKeyNames() const;             // of the open key
    QStringList valueNames() const;              // of the open key

    // Values of the open key. Writes fail when no key is open or the store cannot be written;
    // reads give nothing for a missing value or one of another type.
    bool valueExists(const QString &name) const;
    RegistryValueType valueType(const QString &name) const;
    SystemResult deleteValue(const QString &name);
    SystemResult writeString(const QString &name, const QString &value);
    std::optional<QString> readString(const QString &name) const;
    SystemResult writeInteger(const QString &name, std::int32_t value);
    std::optional<std::int32_t> readInteger(const QString &name) const;
    SystemResult writeBinary(const QString &name, const QByteArray &value);
    std::optional<QByteArray> readBinary(const QString &name) const;

private:
    RegistryRoot root_;
    QString path_;
    bool open_ = false;
};

// Section/name access below one key of HKEY_CURRENT_USER, as TRegIniFile gives it: sections
// are subkeys, integers and booleans are stored as decimal texts, binary data as bytes.
class RegIniFile {
public:
    explicit RegIniFile(const QString &keyPath);

    QString readString(const QString &section, const QString &name, const QString &def) const;
    bool writeString(const QString &section, const QString &name, const QString &value);
    int readInteger(const QString &section, const QString &name, int def) const;
    bool writeInteger(const QString &section, const QString &name, int value);
    bool readBool(const QString &section, const QString &name, bool def) const;
    bool writeBool(const QString &section, const QString &name, bool value);
    // Binary data; a double is its 8 bytes in the machine's order.
    std::optional<QByteArray> readBinaryData(const QString &section, const QString &name) const;
    bool writeBinaryData(const QString &section, const QString &name, const QByteArray &data);
    std::optional<double> readFloat(const QString &section, const QString &name) const;
    bool writeFloat(const QString &section, const QString &name, double value);
    bool eraseSection(const QString &section);

private:
    QString sectionPath(const QString &section) const;
    QString keyPath_;
};

// The folder the stores live in (created on first write).
QString registryFolder();

} // namespace kelpa::platform
