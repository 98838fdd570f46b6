// A running editor (this test process) and a second start of the program with a path.
#include "EditorFixture.h"

#include "platform/WindowMessages.h"

#include <QProcess>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

QString editorProgram() { return QString::fromLocal8Bit(KELPA_PROGRAM_DIR) + QStringLiteral("/Kelpa32"); }

// The second start runs on the same display as this test.
void prepare(QProcess &child, const QStringList &arguments)
{
    child.setProgram(editorProgram());
    child.setArguments(arguments);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    child.setProcessEnvironment(env);
}

class InstanceTest : public RunningEditorTest {
protected:
    // Runs the second start to its end while this editor keeps answering.
    int runSecond(const QStringList &arguments, QProcess &child)
    {
        prepare(child, arguments);
        child.start();
        if (!child.waitForStarted(10000))
            return -1;
        QElapsedTimer t;
        t.start();
        while (child.state() != QProcess::NotRunning && t.elapsed() < 20000)
            pump(10);
        return child.state() == QProcess::NotRunning && child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -2;
    }
    bool waitFor(const std::function<bool()> &done, int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            pump(10);
        return done();
    }
};

} // namespace

TEST_F(InstanceTest, SecondStartHandsItsPathOverAndEnds)
{
    startRunning();
    const QString doc = path("My Notes.txt");
    writeFile(doc, "handed over\r\n");
    QProcess child;
    // An unquoted path with a blank arrives as two arguments and is joined again.
    EXPECT_EQ(runSecond({folder + "My", "Notes.txt"}, child), 0);
    EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(doc) >= 0; })) << "the first editor opens the path";
    EXPECT_FALSE(QFile::exists(path("loadreq")));

    // A relative path is taken from the folder the second start runs in.
    QDir(folder).mkdir("docs");
    const QString relative = path("docs/rel doc.txt");
    writeFile(relative, "relative\r\n");
    QProcess fromDocs;
    fromDocs.setWorkingDirectory(path("docs"));
    EXPECT_EQ(runSecond({"rel", "doc.txt"}, fromDocs), 0);
    EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(relative) >= 0; })) << "the path is made absolute";

    // Without a path the running editor only comes to the front.
    QProcess bare;
    const int pages = openCount();
    EXPECT_EQ(runSecond({}, bare), 0);
    EXPECT_TRUE(waitFor([&] { return !QFile::exists(path("loadreq")); }));
    EXPECT_EQ(openCount(), pages);
}

TEST_F(InstanceTest, WithMultiDatTheSecondStartKeepsItsOwnWindow)
{
    startRunning();
    writeFile(path("multi.dat"), "");
    const QString doc = path("own.txt");
    writeFile(doc, "opened by the second editor\r\n");
    QProcess child;
    prepare(child, {doc});
    child.start();
    ASSERT_TRUE(child.waitForStarted(10000));
    pump(2500);
    EXPECT_EQ(child.state(), QProcess::Running) << "the second editor stays";
    EXPECT_FALSE(QFile::exists(path("loadreq")));
    EXPECT_EQ(form->pages().findLoaded(doc), -1) << "the first editor opened nothing";
    child.terminate();
    if (!child.waitForFinished(5000))
        child.kill();
    child.waitForFinished(5000);
}

// Names that the toolkit would take for its own options are documents like any other.
TEST_F(InstanceTest, ArgumentsThatLookLikeToolkitOptionsAreDocuments)
{
    startRunning();
    for (const QString name : {"-reverse", "--reverse", "-style=fusion", "-platform", "-qwindowgeometry"}) {
        const QString doc = path(name);
        writeFile(doc, "a document\r\n");
        QProcess child;
        child.setWorkingDirectory(folder);
        EXPECT_EQ(runSecond({name}, child), 0) << name.toStdString();
        EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(doc) >= 0; }, 5000)) << name.toStdString();
    }
}
