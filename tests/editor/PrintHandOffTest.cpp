// The print hand-off with the real print module in another process.
#include "EditorFixture.h"
#include "common/Processes.h"

#include <QProcess>
#include <QStandardPaths>
#include <csignal>
#include <vector>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

using kelpa::test::processesOf;

// Titles of the visible windows of a process.
QStringList windowTitles(pid_t pid)
{
    return kelpa::test::visibleWindows(pid, {"--all", "--name", "."}, {"getwindowname", "%@"});
}

class RealPrintTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        kelpa::test::shareDisplayWithChildren();
        ASSERT_TRUE(QFile::link(QStringLiteral(KELPA_PROGRAM_DIR "/kpp"), path("kpp")));
    }
    void TearDown() override
    {
        kelpa::test::endProcessesOf(path("kpp"));
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
    actionOf(*form, "Print1")->trigger();
    std::vector<pid_t> kpp;
    ASSERT_TRUE(waitFor([&] { return !(kpp = processesOf(path("kpp"))).empty(); }, 10000));
    // Its window alone: a document it could not read would have brought an error box and closed it.
    QStringList titles;
    EXPECT_TRUE(waitFor([&] { return (titles = windowTitles(kpp.front())).contains("Kelpa Print Module"); }, 15000))
        << titles.join('|').toStdString();
    pump(1000);
    EXPECT_EQ(windowTitles(kpp.front()), QStringList{"Kelpa Print Module"});
    EXPECT_TRUE(QFile::exists(path("~t.dat"))); // the print module leaves it
}
