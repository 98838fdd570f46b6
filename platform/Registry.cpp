#include "platform/Registry.h"

#include "platform/FileBytes.h"
#include "platform/numbers/IntegerText.h"
#include "platform/safefile/SafeFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

namespace kelpa::platform {

namespace {

// A key node: {"name": "Shown Name", "values": {lower: {"name", "type", "data"}},
//              "keys": {lower: node}}
const QString kName = QStringLiteral("name");
const QString kValues = QStringLiteral("values");
const QString kKeys = QStringLiteral("keys");
const QString kType = QStringLiteral("type");
const QString kData = QStringLiteral("data");

QStringList splitPath(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString storeFile(RegistryRoot root)
{
    return registryFolder() + QLatin1Char('/') + registryRootName(root) + QStringLiteral(".json");
}

constexpr int lockWaitMs = 5000;

// Holds the root's lock file for one change. Readers need no lock: the store is replaced by
// an atomic rename, so a reader sees either the old file or the new one. A holder that hangs
// does not hang us: after a few seconds the change fails.
class StoreLock {
public:
    explicit StoreLock(RegistryRoot root)
    {
        QDir().mkpath(registryFolder());
        const QByteArray path = QFile::encodeName(storeFile(root) + QStringLiteral(".lock"));
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        QDeadlineTimer deadline(lockWaitMs);
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if ((error != EWOULDBLOCK && error != EINTR) || deadline.hasExpired()) {
                ::close(fd_);
                fd_ = -1;
                error_ = error;
                return;
            }
            ::usleep(10000);
        }
    }
    ~StoreLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    // 0 once held, else the system error of the open or the lock.
    int error() const { return fd_ >= 0 ? 0 : (error_ != 0 ? error_ : EIO); }

private:
    int fd_ = -1;
    int error_ = 0;
};

enum class StoreState { Read, Missing, Damaged, Unreadable };

// The store of a root; a missing file is an empty store. A file that does not read as a store,
// or cannot be read at all, gives nothing, and `state` tells which (with the system error of
// the open or read that failed).
struct LoadedStore {
    QJsonObject store;
    StoreState state = StoreState::Read;
    int error = 0;
};

LoadedStore loadStore(RegistryRoot root)
{
    const FileBytes read = readFileBytes(storeFile(root));
    if (!read.bytes)
        return {{}, read.error == ENOENT ? StoreState::Missing : StoreState::Unreadable, read.error};
    const QJsonDocument doc = QJsonDocument::fromJson(*read.bytes);
    if (!doc.isObject())
        return {{}, StoreState::Damaged, 0};
    return {doc.object(), StoreState::Read, 0};
}

// 0, or the system error of the step that failed.
int saveStore(RegistryRoot root, const QJsonObject &store)
{
    const QByteArray bytes = QJsonDocument(store).toJson(QJsonDocument::Indented);
    SafeFileWriter out(QFile::encodeName(storeFile(root)).toStdString());
    if (out.isOpen() && out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) && out.commit())
        return 0;
    return out.systemError() != 0 ? out.systemError() : EIO;
}

const QJsonObject *findNode(const QJsonObject &rootNode, const QStringList &parts,
                            QJsonObject &scratch)
{
    scratch = rootNode;
    for (const QString &part : parts) {
        const QJsonValue child = scratch.value(kKeys).toObject().value(part.toLower());
        if (!child.isObject())
            return nullptr;
        scratch = child.toObject();
    }
    return &scratch;
}

// Applies `change` to the node at `parts` (created on the way when `create`); false when the
// node is missing or the change refuses.
bool changeNode(QJsonObject &node, const QStringList &parts, int at, bool create,
                const std::function<bool(QJsonObject &)> &change)
{
    if (at == parts.size())
        return change(node);
    QJsonObject keys = node.value(kKeys).toObject();
    const QString lower = parts.at(at).toLower();
    QJsonObject child;
    if (keys.contains(lower)) {
        child = keys.value(lower).toObject();
    } else {
        if (!create)
            return false;
        child.insert(kName, parts.at(at));
    }
    if (!changeNode(child, parts, at + 1, create, change))
        return false;
    keys.insert(lower, child);
    node.insert(kKeys, keys);
    return true;
}

// A key or value the change needs is not there: what the system says of a missing file.
constexpr int kMissing = ENOENT;
// A value written or deleted with no key open: what the system says of a closed handle.
constexpr int kNotOpen = EBADF;

SystemResult changeStore(RegistryRoot root, const QStringList &parts, bool create,
                         const std::function<bool(QJsonObject &)> &change)
{
    StoreLock lock(root);
    if (const int error = lock.error())
        return {error};
    LoadedStore loaded = loadStore(root);
    // Keys that cannot be read now are still the user's: the change fails rather than erase them.
    if (loaded.state == StoreState::Unreadable)
        return {loaded.error != 0 ? loaded.error : EIO};
    if (loaded.state == StoreState::Damaged) {
        // Start afresh, but keep what was there for the user to look at.
        const QByteArray file = QFile::encodeName(storeFile(root));
        const QByteArray aside = file + ".damaged";
        ::unlink(aside.constData());
        if (::rename(file.constData(), aside.constData()) != 0)
            return {errno};
    }
    if (!changeNode(loaded.store, parts, 0, create, change))
        return {kMissing};
    return {saveStore(root, loaded.store)};
}

std::optional<QJsonObject> readNode(RegistryRoot root, const QStringList &parts)
{
    const QJsonObject store = loadStore(root).store;
    QJsonObject scratch;
    const QJsonObject *node = findNode(store, parts, scratch);
    if (!node)
        return std::nullopt;
    return *node;
}

std::optional<QJsonObject> readValue(RegistryRoot root, const QString &path, const QString &name)
{
    const auto node = readNode(root, splitPath(path));
    if (!node)
        return std::nullopt;
    const QJsonValue v = node->value(kValues).toObject().value(name.toLower());
    if (!v.isObject())
        return std::nullopt;
    return v.toObject();
}

SystemResult writeValue(RegistryRoot root, const QString &path, const QString &name, const QString &type,
                const QJsonValue &data)
{
    return changeStore(root, splitPath(path), false, [&](QJsonObject &node) {
        QJsonObject values = node.value(kValues).toObject();
        QJsonObject value;
        value.insert(kName, name);
        value.insert(kType, type);
        value.insert(kData, data);
        values.insert(name.toLower(), value);
        node.insert(kValues, values);
        return true;
    });
}

// The names of the entries (sub keys or values) in one section of the key at path.
QStringList namesIn(RegistryRoot root, const QString &path, const QString &section)
{
    QStringList names;
    const auto node = readNode(root, splitPath(path));
    if (node) {
        const QJsonObject entries = node->value(section).toObject();
        for (auto it = entries.begin(); it != entries.end(); ++it)
            names << it->toObject().value(kName).toString();
    }
    return names;
}

} // namespace

QString registryRootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case RegistryRoot::ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    }
    return QString();
}

QString registryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
         + QStringLiteral("/kelpa/registry");
}

RegistryKey::RegistryKey(RegistryRoot root) : root_(root) {}

SystemResult RegistryKey::openKey(const QString &path, bool create)
{
    closeKey();
    const QStringList parts = splitPath(path);
    SystemResult result;
    if (create)
        result = changeStore(root_, parts, true, [](QJsonObject &) { return true; });
    else if (!readNode(root_, parts))
        result = {kMissing};
    if (!result)
        return result;
    path_ = parts.join(QLatin1Char('\\'));
    open_ = true;
    return result;
}

void RegistryKey::closeKey()
{
    open_ = false;
    path_.clear();
}

bool RegistryKey::keyExists(const QString &path) const
{
    return readNode(root_, splitPath(path)).has_value();
}

SystemResult RegistryKey::deleteKey(const QString &path)
{
    QStringList parts = splitPath(path);
    if (parts.isEmpty())
        return {kMissing};
    const QString last = parts.takeLast().toLower();
    return changeStore(root_, parts, false, [&](QJsonObject &node) {
        QJsonObject keys = node.value(kKeys).toObject();
        if (!keys.contains(last))
            return false;
        keys.remove(last);
        node.insert(kKeys, keys);
        return true;
    });
}

QStringList RegistryKey::subKeyNames() const
{
    return open_ ? namesIn(root_, path_, kKeys) : QStringList();
}

QStringList RegistryKey::valueNames() const
{
    return open_ ? namesIn(root_, path_, kValues) : QStringList();
}

bool RegistryKey::valueExists(const QString &name) const
{
    return open_ && readValue(root_, path_, name).has_value();
}

namespace {

RegistryValueType typeOf(const QJsonObject &value)
{
    const QString type = value.value(kType).toString();
    if (type == QLatin1String("sz"))
        return RegistryValueType::String;
    if (type == QLatin1String("dword"))
        return RegistryValueType::Integer;
    if (type == QLatin1String("binary"))
        return RegistryValueType::Binary;
    return RegistryValueType::None;
}

// The data of a value of that type, read in one go (another program may change the store
// between two reads).
std::optional<QJsonValue> typedData(RegistryRoot root, bool open, const QString &path,
                                    const QString &name, RegistryValueType type)
{
    if (!open)
        return std::nullopt;
    const auto v = readValue(root, path, name);
    if (!v || typeOf(*v) != type)
        return std::nullopt;
    return v->value(kData);
}

} // namespace

RegistryValueType RegistryKey::valueType(const QString &name) const
{
    if (!open_)
        return RegistryValueType::None;
    const auto v = readValue(root_, path_, name);
    return v ? typeOf(*v) : RegistryValueType::None;
}

SystemResult RegistryKey::deleteValue(const QString &name)
{
    if (!open_)
        return {kNotOpen};
    return changeStore(root_, splitPath(path_), false, [&](QJsonObject &node) {
        QJsonObject values = node.value(kValues).toObject();
        if (!values.contains(name.toLower()))
            return false;
        values.remove(name.toLower());
        node.insert(kValues, values);
        return true;
    });
}

SystemResult RegistryKey::writeString(const QString &name, const QString &value)
{
    if (!open_)
        return {kNotOpen};
    return writeValue(root_, path_, name, QStringLiteral("sz"), value);
}

std::optional<QString> RegistryKey::readString(const QString &name) const
{
    const auto data = typedData(root_, open_, path_, name, RegistryValueType::String);
    if (!data)
        return std::nullopt;
    return data->toString();
}

SystemResult RegistryKey::writeInteger(const QString &name, std::int32_t value)
{
    if (!open_)
        return {kNotOpen};
    return writeValue(root_, path_, name, QStringLiteral("dword"), value);
}

std::optional<std::int32_t> RegistryKey::readInteger(const QString &name) const
{
    const auto data = typedData(root_, open_, path_, name, RegistryValueType::Integer);
    if (!data)
        return std::nullopt;
    return static_cast<std::int32_t>(data->toInteger());
}

SystemResult RegistryKey::writeBinary(const QString &name, const QByteArray &value)
{
    if (!open_)
        return {kNotOpen};
    return writeValue(root_, path_, name, QStringLiteral("binary"), QString::fromLatin1(value.toBase64()));
}

std::optional<QByteArray> RegistryKey::readBinary(const QString &name) const
{
    const auto data = typedData(root_, open_, path_, name, RegistryValueType::Binary);
    if (!data)
        return std::nullopt;
    return QByteArray::fromBase64(data->toString().toLatin1());
}

RegIniFile::RegIniFile(const QString &keyPath) : keyPath_(keyPath) {}

QString RegIniFile::sectionPath(const QString &section) const
{
    return keyPath_ + QLatin1Char('\\') + section;
}

QString RegIniFile::readString(const QString &section, const QString &name,
                               const QString &def) const
{
    RegistryKey key(RegistryRoot::CurrentUser);
    if (!key.openKey(sectionPath(section), false))
        return def;
    return key.readString(name).value_or(def);
}

bool RegIniFile::writeString(const QString &section, const QString &name, const QString &value)
{
    RegistryKey key(RegistryRoot::CurrentUser);
    return key.openKey(sectionPath(section), true) && key.writeString(name, value);
}

int RegIniFile::readInteger(const QString &section, const QString &name, int def) const
{
    return parseInteger(readString(section, name, QString()).toStdString(), IntegerSyntax::Decimal).value_or(def);
}

bool RegIniFile::writeInteger(const QString &section, const QString &name, int value)
{
    return writeString(section, name, QString::number(value));
}

bool RegIniFile::readBool(const QString &section, const QString &name, bool def) const
{
    return readInteger(section, name, def ? 1 : 0) != 0;
}

bool RegIniFile::writeBool(const QString &section, const QString &name, bool value)
{
    return writeInteger(section, name, value ? 1 : 0);
}

std::optional<QByteArray> RegIniFile::readBinaryData(const QString &section,
                                                     const QString &name) const
{
    RegistryKey key(RegistryRoot::CurrentUser);
    if (!key.openKey(sectionPath(section), false))
        return std::nullopt;
    return key.readBinary(name);
}

bool RegIniFile::writeBinaryData(const QString &section, const QString &name,
                                 const QByteArray &data)
{
    RegistryKey key(RegistryRoot::CurrentUser);
    return key.openKey(sectionPath(section), true) && key.writeBinary(name, data);
}

std::optional<double> RegIniFile::readFloat(const QString &section, const QString &name) const
{
    const auto data = readBinaryData(section, name);
    if (!data || data->size() != static_cast<qsizetype>(sizeof(double)))
        return std::nullopt;
    double v;
    std::memcpy(&v, data->constData(), sizeof v);
    return v;
}

bool RegIniFile::writeFloat(const QString &section, const QString &name, double value)
{
    return writeBinaryData(section, name,
                           QByteArray(reinterpret_cast<const char *>(&value), sizeof value));
}

bool RegIniFile::eraseSection(const QString &section)
{
    RegistryKey key(RegistryRoot::CurrentUser);
    return key.deleteKey(sectionPath(section)).ok();
}

} // namespace kelpa::platform
