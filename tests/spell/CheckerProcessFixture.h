#pragma once
// The spell checker program beside a stand-in editor process, both meeting this test process
// in a program folder of their own that holds a small English dictionary.
#include "common/Processes.h"
#include "common/TempDir.h"
#include "platform/WindowMessages.h"
#include "spell/TKPD.h"
#include "support/CheckerHandOff.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <string>

namespace kelpa::test {

class CheckerProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        spell::TKPD d;
        for (const char *w : {"the", "cat", "sat"})
            d.Add(w);
        ASSERT_TRUE(d.SaveToFile(dir.file("English.kpd")));
    }

    void TearDown() override
    {
        for (QProcess *p : {&checker, &editor}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    QProcessEnvironment environment() const
    {
        return childEnvironment(QString::fromStdString(dir.path().string() + "/"));
    }

    // The stand-in editor, once it says it is ready; its main window.
    void startEditor()
    {
        ASSERT_TRUE(startProgram(editor, QStringLiteral(STANDIN_PATH), {QString::fromStdString(record())},
                                 environment()));
        const QByteArray line = firstLine(editor);
        ASSERT_TRUE(line.startsWith("ready ")) << line.toStdString();
        editorMain = line.mid(6).toULongLong();
    }

    void startChecker(QProcess &p, const QStringList &arguments)
    {
        ASSERT_TRUE(startProgram(p, QStringLiteral(KPSC_PATH), arguments, environment()));
    }
    void startChecker(const QStringList &arguments) { startChecker(checker, arguments); }

    static QString token() { return QString::fromStdString(LaunchToken()); }
    // What the stand-in editor received, a line each.
    std::string record() const { return dir.file("record.txt"); }
    std::string recorded() const { return readText(record()); }

    TempDir dir;
    QProcess editor;
    QProcess checker;
    platform::WindowHandle editorMain = 0;
};

} // namespace kelpa::test
