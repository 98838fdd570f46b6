// The per-user key store.
#include "common/EnvironmentOverride.h"
#include "common/QtFixtures.h"
#include "common/TempDir.h"
#include "common/Unprivileged.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>
#include <thread>
#include <vector>

using namespace kelpa::platform;

TEST(Registry, ValuesOfEachTypeReadBackAndKeepTheirType)
{
    {
        RegistryKey key(RegistryRoot::CurrentUser);
        ASSERT_TRUE(key.openKey(QStringLiteral("Software\\Kelpa\\Test"), true));
        EXPECT_TRUE(key.writeString(QString(), QStringLiteral("default text")));
        EXPECT_TRUE(key.writeString(QStringLiteral("Name"), QStringLiteral("éñ \"quoted\" \\ back")));
        EXPECT_TRUE(key.writeInteger(QStringLiteral("Count"), -123456));
        EXPECT_TRUE(key.writeBinary(QStringLiteral("Blob"), QByteArray("\0\1\2\xff", 4)));
    }
    // A fresh handle reads what the first one wrote to the store.
    RegistryKey key(RegistryRoot::CurrentUser);
    ASSERT_TRUE(key.openKey(QStringLiteral("\\software\\KELPA\\test"), false));
    EXPECT_EQ(key.readString(QString()), QStringLiteral("default text"));
    EXPECT_EQ(key.readString(QStringLiteral("name")), QStringLiteral("éñ \"quoted\" \\ back"));
    EXPECT_EQ(key.readInteger(QStringLiteral("COUNT")), -123456);
    EXPECT_EQ(key.readBinary(QStringLiteral("Blob")), QByteArray("\0\1\2\xff", 4));
    EXPECT_EQ(key.valueType(QStringLiteral("Count")), RegistryValueType::Integer);
    // A value of another type, or a missing one, reads as nothing.
    EXPECT_FALSE(key.readString(QStringLiteral("Count")).has_value());
    EXPECT_FALSE(key.readInteger(QStringLiteral("Name")).has_value());
    EXPECT_FALSE(key.readString(QStringLiteral("Missing")).has_value());
    // Names keep the case they were first written with.
    QStringList names = key.valueNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{QString(), QStringLiteral("Blob"), QStringLiteral("Count"),
                                  QStringLiteral("Name")}));
    EXPECT_TRUE(key.deleteValue(QStringLiteral("name")));
    EXPECT_FALSE(key.valueExists(QStringLiteral("Name")));
}

TEST(Registry, RootsAreSeparateStores)
{
    RegistryKey user(RegistryRoot::CurrentUser);
    ASSERT_TRUE(user.openKey(QStringLiteral(".txt"), true));
    ASSERT_TRUE(user.writeString(QString(), QStringLiteral("user")));
    RegistryKey classes(RegistryRoot::ClassesRoot);
    EXPECT_FALSE(classes.keyExists(QStringLiteral(".txt")));
    EXPECT_TRUE(QFile::exists(registryFolder() + QStringLiteral("/HKEY_CURRENT_USER.json")));
}

TEST(Registry, OpeningWithoutCreateAndDeletingKeys)
{
    RegistryKey key(RegistryRoot::ClassesRoot);
    EXPECT_FALSE(key.openKey(QStringLiteral("a_auto_file\\shell"), false));
    EXPECT_FALSE(key.isOpen());
    EXPECT_FALSE(key.writeString(QString(), QStringLiteral("no key open")));

    ASSERT_TRUE(key.openKey(QStringLiteral("a_auto_file\\shell\\open\\ddeexec"), true));
    ASSERT_TRUE(key.writeString(QString(), QStringLiteral("[open]")));
    ASSERT_TRUE(key.openKey(QStringLiteral("a_auto_file\\shell"), false));
    EXPECT_EQ(key.subKeyNames(), QStringList{QStringLiteral("open")});

    // Deleting a key takes its subkeys with it; its parent stays.
    EXPECT_TRUE(key.deleteKey(QStringLiteral("a_auto_file\\shell\\open")));
    EXPECT_FALSE(key.keyExists(QStringLiteral("a_auto_file\\shell\\open\\ddeexec")));
    EXPECT_TRUE(key.keyExists(QStringLiteral("a_auto_file\\shell")));
    EXPECT_FALSE(key.deleteKey(QStringLiteral("a_auto_file\\shell\\open")));
    EXPECT_FALSE(key.deleteKey(QString()));
    // What is missing is told as a missing file is, a write without a key as a closed handle.
    EXPECT_EQ(key.deleteKey(QStringLiteral("a_auto_file\\shell\\open")).error, ENOENT);
    EXPECT_EQ(key.openKey(QStringLiteral("b_auto_file"), false).error, ENOENT);
    EXPECT_EQ(key.writeString(QString(), QStringLiteral("no key open")).error, EBADF);
    EXPECT_EQ(key.deleteValue(QString()).error, EBADF);
}

TEST(Registry, WritesFailWhenTheStoreCannotBeWritten)
{
    // A file where the store's folder belongs: nothing can be created below it.
    const kelpa::test::FolderBlocked blocked(registryFolder());
    ASSERT_TRUE(blocked.ok());
    RegistryKey key(RegistryRoot::ClassesRoot);
    EXPECT_FALSE(key.openKey(QStringLiteral(".eco"), true));
    RegIniFile ini(QStringLiteral("RichPrint.Settings"));
    EXPECT_FALSE(ini.writeString(QStringLiteral("Margins"), QStringLiteral("Left"), QStringLiteral("1")));
    EXPECT_EQ(ini.readString(QStringLiteral("Margins"), QStringLiteral("Left"), QStringLiteral("def")),
              QStringLiteral("def"));
}

// Changes tell the system error of the file step that failed, also to the superuser.
TEST(Registry, AChangeThatCannotBeStoredTellsTheSystemError)
{
    const QString store = registryFolder() + QStringLiteral("/HKEY_CLASSES_ROOT.json");
    struct Case {
        const char *what;
        std::function<bool()> block;
        int error;
    };
    const Case cases[] = {
        {"the folder is a file", [] { return QDir(registryFolder()).removeRecursively() && QFile(registryFolder()).open(QIODevice::WriteOnly); }, ENOTDIR},
        {"the store is a folder", [&] { return QFile::remove(store) && QDir().mkpath(store); }, EISDIR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RegistryKey key(RegistryRoot::ClassesRoot);
        ASSERT_TRUE(key.openKey(QStringLiteral(".eco"), true));
        ASSERT_TRUE(c.block());
        EXPECT_EQ(key.writeString(QString(), QStringLiteral("ECO_auto_file")).error, c.error);
        EXPECT_EQ(key.writeInteger(QStringLiteral("n"), 1).error, c.error);
        EXPECT_EQ(key.deleteValue(QStringLiteral("n")).error, c.error);
        EXPECT_EQ(key.deleteKey(QStringLiteral(".eco")).error, c.error);
        EXPECT_EQ(key.openKey(QStringLiteral(".txt"), true).error, c.error);
        QFile::remove(registryFolder());
        QDir(registryFolder()).removeRecursively();
    }
}

TEST(Registry, WritersAtTheSameTimeLoseNothing)
{
    constexpr int writers = 4;
    constexpr int each = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < writers; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < each; ++i) {
                RegistryKey key(RegistryRoot::CurrentUser);
                if (key.openKey(QStringLiteral("Concurrent\\W%1").arg(t), true))
                    key.writeInteger(QStringLiteral("v%1").arg(i), t * 1000 + i);
            }
        });
    }
    for (auto &th : threads)
        th.join();
    for (int t = 0; t < writers; ++t) {
        RegistryKey key(RegistryRoot::CurrentUser);
        ASSERT_TRUE(key.openKey(QStringLiteral("Concurrent\\W%1").arg(t), false));
        for (int i = 0; i < each; ++i)
            EXPECT_EQ(key.readInteger(QStringLiteral("v%1").arg(i)), t * 1000 + i);
    }
}

TEST(Registry, IniStyleAccessStoresNumbersAsTextAndLengthsAsDoubles)
{
    RegIniFile ini(QStringLiteral("RichPrint.Settings"));
    EXPECT_TRUE(ini.writeInteger(QStringLiteral("Page"), QStringLiteral("Copies"), 3));
    EXPECT_TRUE(ini.writeBool(QStringLiteral("Page"), QStringLiteral("Landscape"), true));
    EXPECT_TRUE(ini.writeFloat(QStringLiteral("Margins"), QStringLiteral("Left"), 2.54));

    RegistryKey raw(RegistryRoot::CurrentUser);
    ASSERT_TRUE(raw.openKey(QStringLiteral("RichPrint.Settings\\Page"), false));
    EXPECT_EQ(raw.readString(QStringLiteral("Copies")), QStringLiteral("3"));
    EXPECT_EQ(raw.readString(QStringLiteral("Landscape")), QStringLiteral("1"));
    ASSERT_TRUE(raw.openKey(QStringLiteral("RichPrint.Settings\\Margins"), false));
    EXPECT_EQ(raw.readBinary(QStringLiteral("Left"))->size(), 8);

    EXPECT_EQ(ini.readInteger(QStringLiteral("Page"), QStringLiteral("Copies"), 1), 3);
    EXPECT_TRUE(ini.readBool(QStringLiteral("Page"), QStringLiteral("Landscape"), false));
    EXPECT_EQ(ini.readFloat(QStringLiteral("Margins"), QStringLiteral("Left")), 2.54);
    // Missing or unreadable values give the default.
    EXPECT_EQ(ini.readInteger(QStringLiteral("Page"), QStringLiteral("Missing"), 9), 9);
    ini.writeString(QStringLiteral("Page"), QStringLiteral("Bad"), QStringLiteral("x1"));
    EXPECT_EQ(ini.readInteger(QStringLiteral("Page"), QStringLiteral("Bad"), 9), 9);
    // Numbers as text: decimal only, blanks around allowed.
    for (const auto &[text, value] : {std::pair{" -12\t", -12}, {"+7", 7}, {"$10", 9}, {"0x10", 9}, {"12 3", 9}}) {
        ini.writeString(QStringLiteral("Page"), QStringLiteral("Bad"), QString::fromLatin1(text));
        EXPECT_EQ(ini.readInteger(QStringLiteral("Page"), QStringLiteral("Bad"), 9), value) << text;
    }
    EXPECT_FALSE(ini.readFloat(QStringLiteral("Page"), QStringLiteral("Copies")).has_value());
    EXPECT_TRUE(ini.eraseSection(QStringLiteral("Page")));
    EXPECT_EQ(ini.readInteger(QStringLiteral("Page"), QStringLiteral("Copies"), 1), 1);
}

TEST(Registry, ADamagedStoreIsKeptAsideNotOverwritten)
{
    QDir().mkpath(registryFolder());
    const QString store = registryFolder() + QStringLiteral("/HKEY_CURRENT_USER.json");
    const QByteArray damaged("{\"keys\": {\"software\": {\"name\": \"Software\", ");
    {
        QFile f(store);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    RegistryKey key(RegistryRoot::CurrentUser);
    // Reading finds nothing and changes nothing.
    EXPECT_FALSE(key.keyExists(QStringLiteral("Software")));
    EXPECT_FALSE(QFile::exists(store + QStringLiteral(".damaged")));

    ASSERT_TRUE(key.openKey(QStringLiteral("Software\\Kelpa"), true));
    ASSERT_TRUE(key.writeString(QStringLiteral("Page"), QStringLiteral("1")));
    EXPECT_EQ(key.readString(QStringLiteral("Page")), QStringLiteral("1"));
    QFile aside(store + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), damaged);
}

// A store the user cannot read is not an empty one: writing it would erase every key in it.
TEST(Registry, AStoreThatCannotBeReadIsNeverWrittenOver)
{
    // A configuration folder of the unprivileged user's own, where it owns the store.
    kelpa::test::TempDir config;
    ASSERT_EQ(::chmod(config.path().c_str(), 0777), 0);
    const kelpa::test::EnvironmentOverride configHome("XDG_CONFIG_HOME", config.path().string());
    const QString store = registryFolder() + QStringLiteral("/HKEY_CURRENT_USER.json");
    enum Step { Written = 1, Hidden = 2, WriteRefused = 4, ReadBack = 8, StillWritable = 16, WriteStepTold = 32 };
    const int steps = kelpa::test::runUnprivileged([&] {
        int done = 0;
        RegistryKey key(RegistryRoot::CurrentUser);
        if (key.openKey(QStringLiteral("Software\\Kelpa"), true) && key.writeString(QStringLiteral("Kept"), QStringLiteral("1")))
            done |= Written;
        if (::chmod(QFile::encodeName(store).constData(), 0200) == 0)
            done |= Hidden;
        if (key.writeString(QStringLiteral("Other"), QStringLiteral("2")).error == EACCES
            && key.openKey(QStringLiteral("Software\\New"), true).error == EACCES)
            done |= WriteRefused;
        ::chmod(QFile::encodeName(store).constData(), 0600);
        if (key.openKey(QStringLiteral("Software\\Kelpa"), false) && key.readString(QStringLiteral("Kept")) == QStringLiteral("1") && !key.valueExists(QStringLiteral("Other")))
            done |= ReadBack;
        if (key.writeString(QStringLiteral("Other"), QStringLiteral("2")) && key.readString(QStringLiteral("Kept")) == QStringLiteral("1"))
            done |= StillWritable;
        // Readable but neither it nor its folder writable: the write itself is what fails.
        const QByteArray folder = QFile::encodeName(registryFolder());
        if (::chmod(QFile::encodeName(store).constData(), 0400) == 0 && ::chmod(folder.constData(), 0500) == 0
            && key.writeString(QStringLiteral("Third"), QStringLiteral("3")).error == EACCES
            && key.readString(QStringLiteral("Other")) == QStringLiteral("2"))
            done |= WriteStepTold;
        ::chmod(folder.constData(), 0700);
        ::chmod(QFile::encodeName(store).constData(), 0600);
        return done;
    });
    EXPECT_EQ(steps, Written | Hidden | WriteRefused | ReadBack | StillWritable | WriteStepTold);
    EXPECT_FALSE(QFile::exists(store + QStringLiteral(".damaged")));
}

TEST(Registry, AWriterThatHoldsTheStoreDoesNotHangTheNext)
{
    RegistryKey key(RegistryRoot::CurrentUser);
    ASSERT_TRUE(key.openKey(QStringLiteral("Software\\Kelpa"), true));
    ASSERT_TRUE(key.writeString(QStringLiteral("Before"), QStringLiteral("x")));
    // Another holder of the store's lock that never lets go.
    const QByteArray lockFile = QFile::encodeName(registryFolder() + QStringLiteral("/HKEY_CURRENT_USER.json.lock"));
    const int fd = ::open(lockFile.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(key.writeString(QStringLiteral("During"), QStringLiteral("y")).error, EWOULDBLOCK);
    // Readers need no lock.
    EXPECT_EQ(key.readString(QStringLiteral("Before")), QStringLiteral("x"));
    ::close(fd);
    EXPECT_TRUE(key.writeString(QStringLiteral("After"), QStringLiteral("z")));
    EXPECT_FALSE(key.valueExists(QStringLiteral("During")));
}
