// A running editor (this test process) and a second start of the program with a path.
#include "EditorFixture.h"

#include "platform/WindowMessages.h"

#include <QProcess>

#include <csignal>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

QString editorProgram() { return QString::fromLocal8Bit(KELPA_PROGRAM_DIR) + QStringLiteral("/Kelpa32"); }

// The second start runs on the same display as this test, unless `changes` say otherwise.
void prepare(QProcess &child, const QStringList &arguments,
             const std::vector<std::pair<QString, QString>> &changes = {})
{
    child.setProgram(editorProgram());
    child.setArguments(arguments);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment env = kelpa::test::childEnvironment();
    for (const auto &[name, value] : changes)
        env.insert(name, value);
    child.setProcessEnvironment(env);
}

// Ends a start that became an editor of its own.
using kelpa::test::endProgram;

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

TEST_F(InstanceTest, SecondStartWithOneArgumentPerFileHandsEachOver)
{
    startRunning();
    QStringList documents;
    for (const char *name : {"first.txt", "second file.txt", "third.rtf"}) {
        documents << path(name);
        writeFile(documents.back(), "text\r\n");
    }
    QProcess child;
    EXPECT_EQ(runSecond(documents, child), 0);
    for (const QString &d : documents)
        EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(d) >= 0; })) << d.toStdString();
    EXPECT_FALSE(QFile::exists(path("loadreq")));
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
    endProgram(child);
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

// Starts at the same moment all reach the running editor, each with its own document.
TEST_F(InstanceTest, StartsAtTheSameMomentEachHandTheirDocumentOver)
{
    startRunning();
    const QStringList names = {"a.txt", "b.txt", "c.txt", "d.txt"};
    std::vector<std::unique_ptr<QProcess>> children;
    for (const QString &name : names) {
        writeFile(path(name), name.toUtf8() + "\r\n");
        children.push_back(std::make_unique<QProcess>());
        prepare(*children.back(), {path(name)});
    }
    for (auto &child : children)
        child->start();
    for (auto &child : children)
        ASSERT_TRUE(child->waitForStarted(10000));
    EXPECT_TRUE(waitFor([&] {
        for (auto &child : children)
            if (child->state() != QProcess::NotRunning)
                return false;
        return true;
    }, 20000));
    for (auto &child : children) {
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child->exitCode(), 0);
    }
    for (const QString &name : names)
        EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(path(name)) >= 0; }, 5000)) << name.toStdString();
    EXPECT_FALSE(QFile::exists(path("loadreq")));
    for (auto &child : children)
        endProgram(*child);
}

// With no editor running, starts at the same moment give one editor; the others hand over.
TEST_F(InstanceTest, StartsAtTheSameMomentGiveOneEditor)
{
    writeFile(path("Kelpa.ini"), "Maximized=N\r\n");
    std::vector<std::unique_ptr<QProcess>> children;
    for (const QString name : {"a.txt", "b.txt", "c.txt"}) {
        writeFile(path(name), "x\r\n");
        children.push_back(std::make_unique<QProcess>());
        prepare(*children.back(), {path(name)});
    }
    for (auto &child : children)
        child->start();
    auto running = [&] {
        int n = 0;
        for (auto &child : children)
            n += child->state() != QProcess::NotRunning ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(waitFor([&] { return running() == 1; }, 20000));
    pump(2500);
    EXPECT_EQ(running(), 1) << "one editor";
    for (auto &child : children) {
        if (child->state() == QProcess::NotRunning) {
            EXPECT_EQ(child->exitCode(), 0);
        }
    }
    // The one editor takes later hand-offs.
    writeFile(path("later.txt"), "x\r\n");
    QProcess later;
    EXPECT_EQ(runSecond({path("later.txt")}, later), 0);
    EXPECT_EQ(running(), 1);
    EXPECT_FALSE(QFile::exists(path("loadreq")));
    for (auto &child : children)
        endProgram(*child);
}

namespace {

// A blocking connection to a window's socket that never says anything.
int silentConnection(kelpa::platform::WindowHandle h)
{
    const QByteArray name = QFile::encodeName(kelpa::platform::windowsFolder() + QStringLiteral("/w")
                                              + QString::number(h) + QStringLiteral(".sock"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return -1;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

// Connections that never speak do not keep a start from reaching the editor.
TEST_F(InstanceTest, SilentConnectionsDoNotStarveTheHandOff)
{
    startRunning();
    std::vector<int> silent;
    for (int i = 0; i < 64; ++i) {
        if (const int fd = silentConnection(window->handle()); fd >= 0)
            silent.push_back(fd);
        pump(2); // the window takes them in
    }
    pump(100);
    const QString doc = path("through.txt");
    writeFile(doc, "x\r\n");
    QProcess child;
    EXPECT_EQ(runSecond({doc}, child), 0);
    EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(doc) >= 0; }, 5000));
    EXPECT_FALSE(QFile::exists(path("loadreq")));
    for (int fd : silent)
        ::close(fd);
}

// A start whose document the running editor does not confirm opens it itself and leaves no
// request behind: an editor that is stopped, one of another program folder, one on another
// display.
TEST_F(InstanceTest, AHandOffNobodyConfirmsOpensTheDocumentInANewEditor)
{
    writeFile(path("Kelpa.ini"), "Maximized=N\r\n");
    const QString doc = path("mine.txt");
    writeFile(doc, "x\r\n");

    // A stopped editor.
    {
        QProcess stopped;
        prepare(stopped, {});
        stopped.start();
        ASSERT_TRUE(stopped.waitForStarted(10000));
        ASSERT_TRUE(waitFor([] { return kelpa::platform::FindWindow("TApplication", "Kelpa") != 0; }, 10000));
        pump(500);
        ::kill(static_cast<pid_t>(stopped.processId()), SIGSTOP);
        QProcess child;
        prepare(child, {doc});
        child.start();
        ASSERT_TRUE(child.waitForStarted(10000));
        pump(5000);
        EXPECT_EQ(child.state(), QProcess::Running) << "an editor of its own";
        EXPECT_FALSE(QFile::exists(path("loadreq")));
        ::kill(static_cast<pid_t>(stopped.processId()), SIGCONT);
        endProgram(child);
        endProgram(stopped);
    }

    startRunning();
    kelpa::test::TempDir otherDir;
    const QString other = QString::fromStdString(otherDir.path().string()) + QLatin1Char('/');
    writeFile(other + "Kelpa.ini", "Maximized=N\r\n");
    const struct {
        const char *what;
        std::vector<std::pair<QString, QString>> changes;
        QString folder;
    } cases[] = {
        {"another program folder", {{"KELPA_PROGRAM_DIR", other}}, other},
        {"another display", {{"QT_QPA_PLATFORM", "offscreen"}}, folder},
    };
    for (const auto &c : cases) {
        QProcess child;
        prepare(child, {doc}, c.changes);
        child.start();
        ASSERT_TRUE(child.waitForStarted(10000)) << c.what;
        pump(5000);
        EXPECT_EQ(child.state(), QProcess::Running) << c.what << ": an editor of its own";
        EXPECT_FALSE(QFile::exists(c.folder + "loadreq")) << c.what;
        EXPECT_EQ(form->pages().findLoaded(doc), -1) << c.what << ": the running editor opened nothing";
        endProgram(child);
    }
}

// Whatever was left under the request's name, a link to a file of the user's or a pipe, the
// second start writes its request beside it and the document still opens; the file the link
// named stays as it was.
TEST_F(InstanceTest, ARequestLeftAsALinkOrAPipeLosesNoDocument)
{
    startRunning();
    writeFile(path("victim.txt"), "the user's own\r\n");
    const std::string request = QFile::encodeName(path("loadreq")).toStdString();
    for (const char *planted : {"link", "pipe"}) {
        SCOPED_TRACE(planted);
        const QString doc = path(QString::fromLatin1(planted) + ".txt");
        writeFile(doc, "handed over\r\n");
        if (std::string(planted) == "link")
            ASSERT_EQ(::symlink(QFile::encodeName(path("victim.txt")).constData(), request.c_str()), 0);
        else
            ASSERT_EQ(::mkfifo(request.c_str(), 0666), 0);
        QProcess child;
        EXPECT_EQ(runSecond({doc}, child), 0);
        EXPECT_TRUE(waitFor([&] { return form->pages().findLoaded(doc) >= 0; })) << "the running editor opens it";
        EXPECT_EQ(fileBytes(path("victim.txt")), "the user's own\r\n");
        EXPECT_FALSE(QFileInfo(path("loadreq")).exists() || QFileInfo(path("loadreq")).isSymLink());
    }
}
