// The scripted prompter that every test of the programs relies on.
#include "common/ScriptedPrompter.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kelpa;

TEST(ScriptedPrompter, AnswersInOrderAndCancelsWhatIsNotScripted)
{
    ScriptedPrompter p;
    Prompter *before = &CurrentPrompter();
    {
        ScopedPrompter scope(p);
        EXPECT_EQ(&CurrentPrompter(), &p);
        p.answer(MessageAnswer::Yes);
        p.answerInput(QStringLiteral("typed"));
        p.answerFile(QStringLiteral("/tmp/a.eco"), 3);
        EXPECT_EQ(CurrentPrompter().message({"c", "t", MessageIcon::Question, MessageButtons::YesNoCancel}),
                  MessageAnswer::Yes);
        EXPECT_EQ(CurrentPrompter().message({"c", "t", MessageIcon::Question, MessageButtons::YesNoCancel}),
                  MessageAnswer::Cancel);
        EXPECT_EQ(CurrentPrompter().message({"c", "t", MessageIcon::Question, MessageButtons::YesNo}),
                  MessageAnswer::No);
        EXPECT_EQ(CurrentPrompter().message({"c", "t", MessageIcon::Information, MessageButtons::Ok}),
                  MessageAnswer::Ok);
        EXPECT_EQ(CurrentPrompter().input({"Find", "Text:"}), QStringLiteral("typed"));
        EXPECT_FALSE(CurrentPrompter().input({"Find", "Text:"}).has_value());
        const FileDialogResult f = CurrentPrompter().file({FileDialogKind::Save, "Save as", {}, {}, "Eco (*.eco)"});
        EXPECT_TRUE(f.accepted);
        EXPECT_EQ(f.file(), QStringLiteral("/tmp/a.eco"));
        EXPECT_EQ(f.filterIndex, 3);
        EXPECT_FALSE(CurrentPrompter().file({}).accepted);
        EXPECT_FALSE(CurrentPrompter().font({}).has_value());
        EXPECT_FALSE(CurrentPrompter().color({}).has_value());
    }
    EXPECT_EQ(&CurrentPrompter(), before);
    EXPECT_EQ(p.shown().size(), 10u);
    EXPECT_EQ(p.messages().size(), 4u);
    EXPECT_EQ(p.unanswered(), 6);   // the Ok box needs no answer
    EXPECT_EQ(p.shown()[8].kind, ScriptedPrompter::Shown::Kind::Font);
}

TEST(ScriptedPrompter, RecordsHowAFileDialogStarts)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.caption = QStringLiteral("Save As");
    request.folder = QStringLiteral("/home/u/docs/");
    request.fileName = QStringLiteral("Untitled.txt");
    request.filter = QStringLiteral("Eco (*.eco);;Text (*.txt)");
    request.filterIndex = 2;
    CurrentPrompter().file(request);
    ASSERT_EQ(p.shown().size(), 1u);
    const auto &shown = p.last();
    EXPECT_EQ(shown.fileKind, FileDialogKind::Save);
    EXPECT_EQ(shown.folder, QStringLiteral("/home/u/docs/"));
    EXPECT_EQ(shown.fileName, QStringLiteral("Untitled.txt"));
    EXPECT_EQ(shown.filterIndex, 2);
    EXPECT_EQ(shown.filter, request.filter);
}

TEST(DialogPrompter, FileNamesInBoxesAreShownAsTyped)
{
    const QString name = QStringLiteral("Cannot open \"<s>x</s> &amp; <b>y</b>.txt\"");
    DialogPrompter dialogs;
    QString shown;
    auto readAndClose = [&] {
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            for (QLabel *label : box->findChildren<QLabel *>())
                if (label->text().contains(QStringLiteral("x</s>"))) {
                    // What the label draws, as a user reads it.
                    shown = label->textFormat() == Qt::PlainText ? label->text() : QStringLiteral("markup");
                }
            if (auto *mb = qobject_cast<QMessageBox *>(box))
                mb->defaultButton() ? mb->defaultButton()->click() : mb->reject();
            else
                static_cast<QDialog *>(box)->reject();
        });
    };
    readAndClose();
    dialogs.message({QStringLiteral("Error"), name, MessageIcon::Error, MessageButtons::Ok});
    EXPECT_EQ(shown, name);
    shown.clear();
    readAndClose();
    dialogs.input({QStringLiteral("Find"), name});
    EXPECT_EQ(shown, name);
}
