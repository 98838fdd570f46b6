// The preview on a real X server: a document handed over by the rich-text printer opens the
// preview with its second window to the right, both on screen. With KELPA_PREVIEW_SCREENSHOT
// set, the screen is saved there as a PNG.
#include "PreviewDocument.h"
#include "PreviewFixture.h"
#include "printmod/RichPrinter.h"
#include "printmod/preview/RichPreviewPages.h"

#include "common/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <gtest/gtest.h>

using kelpa::richedit::TRichEdit;

using namespace kelpa::preview;

TEST(PreviewOnScreen, TwoWindowsSideBySide)
{
    kelpa::test::TempDir dir;
    TRichEdit edit;
    kelpa::test::fillDocument(edit, 60);
    QTextCursor c(edit.document());
    c.movePosition(QTextCursor::Start);
    c.insertText(QStringLiteral("Kelpa print preview\n"));
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat title;
    title.setFontPointSize(22);
    title.setFontWeight(QFont::Bold);
    title.setForeground(QColor(0, 90, 140));
    c.mergeCharFormat(title);

    kelpa::printmod::TRichPrinter printer;
    printer.SetTitle(QStringLiteral("Preview.rtf"));
    RichPreviewPages *run = nullptr;
    PreviewOptions options;
    options.cacheBase = dir.path();
    kelpa::printmod::TRichPrinter::SetPreviewFactory([&] { return run = new RichPreviewPages(options); });
    printer.PrintRichEditPreview(&edit);
    kelpa::printmod::TRichPrinter::SetPreviewFactory({});
    ASSERT_TRUE(run && run->form());
    QPointer<TRichPreviewForm> form = run->form();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    form->FormActivate();
    ASSERT_TRUE(form->TwoWindows()) << "screen " << QGuiApplication::primaryScreen()->geometry().width();
    TPreview2 *second = form->Preview2();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second));
    QTest::qWait(200);
    EXPECT_EQ(second->frameGeometry().left(), form->frameGeometry().right() + 1);
    EXPECT_EQ(second->size(), form->size());
    EXPECT_EQ(form->windowTitle(), "Print Preview");
    EXPECT_EQ(form->Label10()->text(), QStringLiteral("(%1)").arg(form->state().lastPageIndex + 1));
    EXPECT_EQ(second->Label2()->text(), "   2");

    if (const QByteArray shot = qgetenv("KELPA_PREVIEW_SCREENSHOT"); !shot.isEmpty()) {
        QApplication::processEvents();
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(shot));
    }
    const auto folder = form->cache()->folder();
    form->close();
    QApplication::processEvents();
    EXPECT_FALSE(std::filesystem::exists(folder));
}

using kelpa::test::PreviewTest;

// Without a print queue a PDF file is the only place to print to. The job keeps its title; the
// file the dialog suggests (on X only) is named after the document.
TEST_F(PreviewTest, ThePrintDialogOffersAPdfFile)
{
    open(3);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("/home/someone/letters/letter.txt"));
    form->setPrinter(&printer);
    QStringList targets;
    QString file;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QPrintDialog *>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            if (auto *box = dialog->findChild<QComboBox *>(QStringLiteral("printers"))) {
                for (int i = 0; i < box->count(); ++i)
                    targets << box->itemText(i);
                box->setCurrentIndex(box->findText(QStringLiteral("Print to File (PDF)")));
            }
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("filename")))
                file = name->text();
            dialog->reject();
        }
    });
    form->SpeedButton1Click();
    EXPECT_TRUE(targets.contains(QStringLiteral("Print to File (PDF)"))) << targets.join(u',').toStdString();
    // The file it suggests is named after the document, not after its whole path.
    EXPECT_TRUE(file.endsWith(QStringLiteral("/letter.pdf"))) << file.toStdString();
    EXPECT_FALSE(file.contains(QStringLiteral("letters"))) << file.toStdString();
    EXPECT_EQ(printer.docName(), "/home/someone/letters/letter.txt");
}

// A long document on a real X server: the preview shows pages while the rest are laid out;
// Escape there stops the run with the pages so far set up as the finished preview, and closing
// the preview meanwhile stops it with no page file left behind.
TEST(PreviewOnScreen, ALongLayoutCanBeStoppedFromThePreview)
{
    kelpa::test::TempDir dir;
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped(prompter);
    TRichEdit edit;
    kelpa::test::fillDocument(edit, 20000);
    for (bool close : {false, true}) {
        kelpa::printmod::TRichPrinter printer;
        RichPreviewPages *run = nullptr;
        PreviewOptions options;
        options.cacheBase = dir.path();
        kelpa::printmod::TRichPrinter::SetPreviewFactory([&] { return run = new RichPreviewPages(options); });
        printer.StartRichEditPreview(&edit);
        kelpa::printmod::TRichPrinter::SetPreviewFactory({});
        ASSERT_TRUE(run && run->form());
        QPointer<TRichPreviewForm> form = run->form();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        for (int i = 0; i < 5000 && form->state().lastPageIndex < 20; ++i)
            QTest::qWait(1);
        ASSERT_TRUE(printer.PreviewRunning()) << close;
        EXPECT_EQ(form->windowTitle(), "Print Preview (Formatting)");
        form->FormActivate(); // the set-up waits for the last page
        EXPECT_EQ(form->windowTitle(), "Print Preview (Formatting)");
        const auto folder = form->cache()->folder();
        if (close) {
            form->close();
            QApplication::processEvents();
            EXPECT_FALSE(printer.PreviewRunning());
            QTest::qWait(50);
            EXPECT_FALSE(form);
            EXPECT_FALSE(std::filesystem::exists(folder));
        } else {
            form->activateWindow();
            QTest::keyClick(form, Qt::Key_Escape);
            for (int i = 0; i < 1000 && printer.PreviewRunning(); ++i)
                QTest::qWait(1);
            EXPECT_FALSE(printer.PreviewRunning());
            QTest::qWait(50);
            ASSERT_TRUE(form);
            EXPECT_EQ(form->windowTitle(), "Print Preview");
            const int pages = form->state().lastPageIndex + 1;
            EXPECT_GT(pages, 20);
            EXPECT_LT(pages, 500); // well short of the whole document
            EXPECT_EQ(form->Label10()->text(), QStringLiteral("(%1)").arg(pages));
            int files = 0;
            for (const auto &e : std::filesystem::directory_iterator(folder))
                files += e.path().filename().string().rfind("PreviewMetafile", 0) == 0;
            EXPECT_EQ(files, pages); // every page whole and stored, none half-written
            form->close();
            QApplication::processEvents();
        }
        EXPECT_EQ(printer.ProgressWindow(), nullptr);
    }
    EXPECT_TRUE(prompter.messages().empty());
}
