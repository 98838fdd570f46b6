// The print hand-off with the real print module in another process.
#include "EditorFixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <vector>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

std::vector<pid_t> startedFrom(const QString &program)
{
    std::vector<pid_t> out;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        const QByteArray cmdline = number ? fileBytes("/proc/" + entry + "/cmdline") : QByteArray();
        if (number && cmdline.left(cmdline.indexOf('\0')) == QFile::encodeName(program))
            out.push_back(pid);
    }
    return out;
}

// Titles of the visible windows of a process.
QStringList windowTitles(pid_t pid)
{
    QProcess search;
    search.start("xdotool", {"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", ".",
                             "getwindowname", "%@"});
    search.waitForFinished(10000);
    return QString::fromUtf8(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

class RealPrintTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        setenv("QT_QPA_PLATFORM", QGuiApplication::platformName().toUtf8().constData(), 1);
        ASSERT_TRUE(QFile::link(QStringLiteral(KELPA_PROGRAM_DIR "/kpp"), path("kpp")));
    }
    void TearDown() override
    {
        for (pid_t pid : startedFrom(path("kpp")))
            ::kill(pid, SIGTERM);
        EditorTest::TearDown();
    }
};

} // namespace

TEST_F(RealPrintTest, ThePrintModuleReadsTheExchangeFileOfAModifiedPage)
{
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "xdotool is not installed";
    start();
    form->NewPage(NewPageKind::Rich);
    editor(form->CurrentPage())->SetText("to be printed");
    editor(form->CurrentPage())->SetModified(true);
    form->action("Print1")->trigger();
    std::vector<pid_t> kpp;
    ASSERT_TRUE(waitFor([&] { return !(kpp = startedFrom(path("kpp"))).empty(); }, 10000));
    // Its window alone: a document it could not read would have brought an error box and closed it.
    QStringList titles;
    EXPECT_TRUE(waitFor([&] { return (titles = windowTitles(kpp.front())).contains("Kelpa Print Module"); }, 15000))
        << titles.join('|').toStdString();
    pump(1000);
    EXPECT_EQ(windowTitles(kpp.front()), QStringList{"Kelpa Print Module"});
    EXPECT_TRUE(QFile::exists(path("~t.dat"))); // the print module leaves it
}
