// The window at start and at open: the page control after a failed command-line open, the
// stored size over several starts, a failing word-wrap check, the decoding password prompt.
#include "EditorFixture.h"

#include <QLabel>
#include <stdexcept>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

namespace {

class FailingWrapCheck : public TForm1 {
protected:
    int autoWrapLineLength(TRichEdit *, int) override { throw std::runtime_error("Line unreadable"); }
};

} // namespace

TEST_F(EditorTest, PageControlShowsAfterAFailedCommandLineOpen)
{
    DocumentPathArgumentText = path("missing.txt");
    prompter.answer(kelpa::MessageAnswer::Ok);
    start();
    EXPECT_EQ(openCount(), 0);
    EXPECT_EQ(form->CurrentPage(), -1);
    EXPECT_TRUE(form->pageControl()->isVisible());
    // A later open works as ever.
    writeFile(path("there.txt"), "x");
    EXPECT_GE(form->OpenDocument(path("there.txt"), true, {}), 0);
    EXPECT_TRUE(form->pageControl()->isVisible());
}

TEST_F(EditorTest, StoredSizeStaysOverSeveralStarts)
{
    writeFile(path("Kelpa.ini"), "NormalWidth=600\r\nNormalHeight=450\r\n");
    for (int run = 0; run < 3; ++run) {
        start();
        EXPECT_EQ(form->clientSize(), QSize(600, 450)) << run;
        EXPECT_GT(form->height(), 450) << "the menu bar comes on top of the client area";
        editor(0)->SetModified(false);
        ASSERT_TRUE(form->close());
        const QByteArray ini = fileBytes(path("Kelpa.ini"));
        EXPECT_TRUE(ini.contains("NormalWidth=600\r\nNormalHeight=450\r\n")) << run << ini.constData();
        TearDown();
    }
}

TEST_F(EditorTest, FailingWordWrapCheckIsToldAndTheOpenGoesOn)
{
    start(true, [] { return std::make_unique<FailingWrapCheck>(); });
    writeFile(path("short.txt"), "one\r\ntwo\r\n");
    const int slot = form->OpenDocument(path("short.txt"), true, {});
    ASSERT_GE(slot, 0);
    EXPECT_TRUE(shownMessage("Line unreadable while checking for AutoWrap"));
    EXPECT_EQ(form->CurrentPage(), slot);
    EXPECT_EQ(page(slot).FileName, path("short.txt"));
    EXPECT_EQ(editor(slot)->Text(), "one\ntwo");
    EXPECT_TRUE(form->isEnabled()) << "the window takes commands again";
}

TEST_F(EditorTest, DecodingPromptTakesItsOwnLayout)
{
    writeDocument(path("d.eco"), "pw", "{\\rtf1 secret}");
    start();
    const QRect entry = dialog->Password->geometry();
    const QRect confirmation = dialog->PasswordChk->geometry();
    bool checked = false;
    passwords.whileShown([&] {
        checked = true;
        EXPECT_EQ(dialog->Password->geometry(), confirmation) << "the entry takes the confirmation's place";
        EXPECT_FALSE(dialog->PasswordChk->isVisible());
        EXPECT_FALSE(dialog->Label1->isVisible());
        EXPECT_FALSE(dialog->Label2->isVisible());
        EXPECT_TRUE(dialog->Label3->isVisible());
        EXPECT_LE(dialog->Label3->geometry().bottom(), dialog->Password->geometry().top())
            << "the explanation stands above the entry";
        EXPECT_FALSE(dialog->Label3->geometry().intersects(dialog->Password->geometry()));
    });
    passwords.answer(QStringLiteral("pw"));
    ASSERT_GE(form->OpenDocument(path("d.eco"), true, {}), 0);
    EXPECT_TRUE(checked);
    // Asking for a new password shows both entries where they belong.
    EXPECT_EQ(dialog->Password->geometry(), entry);
    EXPECT_FALSE(dialog->PasswordChk->isHidden());
    EXPECT_FALSE(dialog->Label1->isHidden());
    EXPECT_FALSE(dialog->Label2->isHidden());
    EXPECT_TRUE(dialog->Label3->isHidden());
}
