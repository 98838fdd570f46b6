// The spell checker program started as the editor starts it, beside a stand-in editor process:
// the gates at its start (single instance, launch token, editor window) and the hand-off over
// the real message layer.
#include "CheckerProcessFixture.h"
#include "common/QtFixtures.h"
#include "common/WaitUntil.h"
#include "engine/TOBRINEngine.h"
#include "platform/NamedMutex.h"
#include "platform/WindowMessages.h"
#include "support/CheckerHandOff.h"

#include <QFile>
#include <QFileDevice>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

using kelpa::engine::TOBRINEngine;

using namespace kelpa;
using kelpa::test::q;

namespace {

using kelpa::test::waitUntil;

class SpellCheckerStart : public test::CheckerProcessTest {
protected:
    bool checkerEnds(int ms = 10000)
    {
        return checker.waitForFinished(ms) && checker.exitStatus() == QProcess::NormalExit
               && checker.exitCode() == 0;
    }
};

TEST_F(SpellCheckerStart, WithoutTheTokenNothingHappens)
{
    startEditor();
    const QStringList cases[] = {
        {},
        {QStringLiteral("wrong")},
        {token() + QStringLiteral("x")},
        {token().toUpper()},
        {QString()},
    };
    for (const QStringList &arguments : cases) {
        startChecker(arguments);
        EXPECT_TRUE(checkerEnds()) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(platform::FindWindow(SpellCheckerWindowClass), 0u);
    }
    // Not even the start-up message reaches the editor.
    QThread::msleep(200);
    EXPECT_EQ(recorded(), "");
    EXPECT_FALSE(QFile::exists(q(dir.file("kpsc.ini"))));
}

TEST_F(SpellCheckerStart, ASecondInstanceEndsAtOnce)
{
    startEditor();
    platform::NamedMutex first(QStringLiteral("VOKAT_KPSPELLCHECKER"));
    ASSERT_TRUE(first.owned());
    startChecker({token()});
    EXPECT_TRUE(checkerEnds());
    QThread::msleep(200);
    EXPECT_EQ(recorded(), "");
}

TEST_F(SpellCheckerStart, WithoutAnEditorItStartsTheEditor)
{
    // A stand-in editor program that only leaves a mark.
    const std::string editorProgram = dir.file("Kelpa32");
    test::writeText(editorProgram, "#!/bin/sh\necho started > \"$(dirname \"$0\")/editor-started\"\n");
    QFile::setPermissions(q(editorProgram), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    startChecker({token()});
    EXPECT_TRUE(checkerEnds());
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(q(dir.file("editor-started"))); }));
    EXPECT_EQ(platform::FindWindow(SpellCheckerWindowClass), 0u);
}

TEST_F(SpellCheckerStart, HandOffOverTheMessageLayer)
{
    startEditor();
    startChecker({token()});
    ASSERT_TRUE(waitUntil([&] { return platform::FindWindow(SpellCheckerWindowClass) != 0; }));
    // Every start that finds the editor greets its application window.
    ASSERT_TRUE(waitUntil([&] { return recorded() == "app 1134 0 0\n"; })) << recorded();
    EXPECT_EQ(platform::FindWindow(QStringLiteral("TKelpaSpellChecker")),
              platform::FindWindow(SpellCheckerWindowClass));

    const std::string text = "the cat teh\r\n";
    TOBRINEngine engine;
    ASSERT_TRUE(engine.SaveToFile(ExchangeKey, dir.file("~t.dat"),
                                  reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
    const platform::WindowHandle window = platform::FindWindow(SpellCheckerWindowClass);
    ASSERT_TRUE(platform::PostMessage(window, WM_CHECKTEXT, editorMain, TransferExchangeFile + TransferPlainText));
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(q(dir.file("~t.dat"))); })) << "read and deleted";

    // The editor closes: so does the checker, and it says so to the editor's main window.
    ASSERT_TRUE(platform::PostMessage(window, WM_CLOSECHECKER, 0, 0));
    EXPECT_TRUE(checkerEnds());
    EXPECT_TRUE(waitUntil([&] { return recorded() == "app 1134 0 0\nmain 1134 0 0\n"; })) << recorded();
    EXPECT_EQ(test::readText(dir.file("kpsc.ini")), "Dictionary=English.kpd\r\n");
    EXPECT_EQ(platform::FindWindow(SpellCheckerWindowClass), 0u);
}

} // namespace
