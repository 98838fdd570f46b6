// The preview on a real X server: a document handed over by the rich-text printer opens the
// preview with its second window to the right, both on screen. With KELPA_PREVIEW_SCREENSHOT
// set, the screen is saved there as a PNG.
#include "PreviewDocument.h"
#include "printmod/RichPrinter.h"
#include "printmod/preview/RichPreviewPages.h"

#include "common/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>

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
