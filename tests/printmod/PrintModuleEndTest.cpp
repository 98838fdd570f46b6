// The print module as a real process under X: ended by the session (SIGTERM at logout, SIGHUP),
// it removes its preview's page folder on the way out, as on a normal close.
#include "common/Processes.h"
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
    return kelpa::test::visibleWindows(pid, {QStringLiteral("--name"), QStringLiteral("Kelpa Print Module")}).value(0);
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
        kpp.setProcessEnvironment(kelpa::test::privateEnvironment(at));
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
