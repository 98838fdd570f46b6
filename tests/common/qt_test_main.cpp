// Main of every widget test: a QApplication on the platform ctest chose (offscreen unless the
// test needs X), and a private HOME so that settings, the key store and desktop files of one
// test process never meet another's.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    if (home.isValid()) {
        const QByteArray h = QDir(home.path()).absolutePath().toLocal8Bit();
        setenv("HOME", h.constData(), 1);
        setenv("XDG_CONFIG_HOME", (h + "/.config").constData(), 1);
        setenv("XDG_DATA_HOME", (h + "/.local/share").constData(), 1);
        setenv("XDG_CACHE_HOME", (h + "/.cache").constData(), 1);
        const QByteArray runtime = h + "/.runtime";
        QDir().mkpath(QString::fromLocal8Bit(runtime));
        QFile::setPermissions(QString::fromLocal8Bit(runtime),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
