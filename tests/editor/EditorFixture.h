#pragma once
// A main window in a private program folder, with a scripted prompter and a scripted password
// dialog, for the window tests.
#include "editor/TForm1.h"
#include "ActionOf.h"
#include "editor/DocumentCommands.h"
#include "editor/PageWords.h"
#include "editor/EditCommands.h"
#include "editor/FormatCommands.h"

#include "common/TempDir.h"
#include "common/Processes.h"
#include "common/QtFiles.h"
#include "engine/TOBRINEngine.h"
#include "platform/WindowMessages.h"
#include "richedit/TRichEdit.h"
#include "support/PasswordDialog.h"
#include "common/ScriptedPrompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <gtest/gtest.h>

namespace kelpa::editor::test {

// The password prompts of a scripted prompter: the next queued password (typed into both
// entries, then OK), or Cancel for a queued nullopt or an empty queue.
class PasswordScript {
public:
    explicit PasswordScript(ScriptedPrompter &prompter) : prompter_(prompter) {}
    void answer(std::optional<QString> password) { prompter_.answerPassword(std::move(password)); }
    // Runs once, the next time the dialog is up, before it is answered.
    void whileShown(std::function<void()> f) { prompter_.whileNextPasswordShown(std::move(f)); }
    int shown() const { return static_cast<int>(prompter_.passwordPrompts().size()); }
    bool lastWasEncode() const
    {
        const auto prompts = prompter_.passwordPrompts();
        return !prompts.empty() && prompts.back().passwordMode == PasswordMode::Encode;
    }
    // What the entries held when the dialog showed.
    QString lastPrefill() const
    {
        const auto prompts = prompter_.passwordPrompts();
        return prompts.empty() ? QString() : prompts.back().text;
    }

private:
    ScriptedPrompter &prompter_;
};

inline void pump(int ms = 0)
{
    QElapsedTimer t;
    t.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}

// Pumps events until `done` holds or `ms` have passed; tells whether it holds.
inline bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        pump(10);
    return done();
}

using kelpa::test::fileBytes;
using kelpa::test::writeFile;

// An encrypted document written by the engine.
inline void writeDocument(const QString &name, const std::string &password, const QByteArray &text,
                          std::uint8_t cipher = TOBRINEngine::CipherEC4)
{
    TOBRINEngine engine;
    engine.CipherId = cipher;
    ASSERT_TRUE(engine.SaveToFile(password, QFile::encodeName(name).toStdString(),
                                  reinterpret_cast<const std::uint8_t *>(text.constData()),
                                  static_cast<std::size_t>(text.size())))
        << engine.ErrorCode;
}

// The text of an encrypted document as the engine reads it, or nothing.
inline std::optional<QByteArray> readDocument(const QString &name, const std::string &password,
                                              std::string *version = nullptr)
{
    TOBRINEngine engine;
    if (!engine.LoadFromFile(password, QFile::encodeName(name).toStdString()))
        return std::nullopt;
    if (version)
        *version = engine.Version;
    return QByteArray(reinterpret_cast<const char *>(engine.Result.data()), engine.ResultLength);
}

class EditorTest : public ::testing::Test {
protected:
    kelpa::test::TempDir dir;
    QString folder = QString::fromStdString(dir.path().string()) + QLatin1Char('/');
    ScriptedPrompter prompter;
    ScopedPrompter scoped{prompter};
    PasswordScript passwords{prompter};
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TOBRINPasswordDlg> dialog;

    void SetUp() override
    {
        kelpa::test::setProgramFolder(folder);
    }
    void TearDown() override
    {
        dialog.reset();
        form.reset();
    }

    QString path(const QString &name) const { return folder + name; }

    // A settings file is there unless a test wants the first run; `make` builds another kind of
    // window.
    TForm1 &start(bool withSettings = true, const std::function<std::unique_ptr<TForm1>()> &make = {})
    {
        if (withSettings && !QFile::exists(path("Kelpa.ini")))
            writeFile(path("Kelpa.ini"), "Maximized=N\r\n");
        form = make ? make() : std::make_unique<TForm1>();
        dialog = std::make_unique<TOBRINPasswordDlg>(form.get(), 256);
        form->show();
        pump();
        form->FormActivate();
        pump();
        return *form;
    }

    TRichEdit *editor(int slot) const { return form->pages()[slot].Editor; }
    const PageRecord &page(int slot) const { return form->pages()[slot]; }
    int openCount() const { return form->pages().openCount(); }

    // Texts of the messages shown so far.
    std::vector<QString> messageTexts() const
    {
        std::vector<QString> out;
        for (const auto &m : prompter.messages())
            out.push_back(m.text);
        return out;
    }
    bool shownMessage(const QString &text) const
    {
        for (const auto &m : prompter.messages())
            if (m.text == text)
                return true;
        return false;
    }
    bool shownMessageStarting(const QString &text) const
    {
        for (const auto &m : prompter.messages())
            if (m.text.startsWith(text))
                return true;
        return false;
    }
};

// An editor that a second start can find: the window with its application endpoint.
class RunningEditorTest : public EditorTest {
protected:
    std::unique_ptr<kelpa::platform::Window> window;

    TForm1 &startRunning()
    {
        start();
        window = std::make_unique<kelpa::platform::Window>("TApplication", "Kelpa", form.get());
        return *form;
    }
    void TearDown() override
    {
        window.reset();
        EditorTest::TearDown();
    }
};

} // namespace kelpa::editor::test
