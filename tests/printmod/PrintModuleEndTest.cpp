// The print module as a real process under X: ended by the session (SIGTERM at logout, SIGHUP),
// it removes its preview's page folder on the way out, as on a normal close.
#include "common/TempDir.h"
#include "common/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString firstVisibleWindow(qint64 pid)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
                                              QStringLiteral("Kelpa Print Module")});
    search.waitForFinished(10000);
    return QString::fromUtf8(search.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
}

QStringList pageFolders(const QString &tmp)
{
    return QDir(tmp).entryList({QStringLiteral("kpp-preview-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

} // namespace

TEST(PrintModuleEnd, ASessionsEndRemovesThePreviewPages)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        kelpa::test::TempDir dir;
        const QString at = QString::fromStdString(dir.path().string());
        for (const char *sub : {"/prog", "/tmp", "/home", "/run"})
            ASSERT_TRUE(QDir().mkpath(at + sub));
        ::chmod((at + "/run").toUtf8().constData(), 0700);
        kelpa::test::writeText(dir.file("letter.txt"), "a few lines\nto preview\n");
        QProcess kpp;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("KELPA_PROGRAM_DIR"), at + "/prog");
        env.insert(QStringLiteral("TMPDIR"), at + "/tmp");
        env.insert(QStringLiteral("HOME"), at + "/home");
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), at + "/run");
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        kpp.setProcessEnvironment(env);
        kpp.start(QStringLiteral(KELPA_PROGRAM_DIR "/kpp"), {at + "/letter.txt"});
        ASSERT_TRUE(kpp.waitForStarted(10000));
        QString window;
        ASSERT_TRUE(kelpa::test::waitUntil([&] { return !(window = firstVisibleWindow(kpp.processId())).isEmpty(); }, 20000));
        // OK opens the preview, which keeps its pages in a folder of its own.
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
                                                      QStringLiteral("Return")});
        EXPECT_TRUE(kelpa::test::waitUntil([&] { return !pageFolders(at + "/tmp").isEmpty(); }, 20000));
        ::kill(static_cast<pid_t>(kpp.processId()), signal);
        ASSERT_TRUE(kpp.waitForFinished(20000));
        EXPECT_EQ(kpp.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(pageFolders(at + "/tmp"), QStringList{});
    }
}
