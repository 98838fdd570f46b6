// Under a real X server: the editor with a rich page and an encrypted page, as a picture.
#include "EditorFixture.h"

#include <QDir>
#include <QPixmap>

using namespace kelpa::editor;
using namespace kelpa::editor::test;

TEST_F(EditorTest, ScreenshotOfRichAndEncryptedPages)
{
    writeFile(path("Letter.rtf"),
              "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}{\\colortbl;\\red30\\green90\\blue140;}"
              "\\f0\\fs28 {\\b Kelpa} keeps up to sixteen documents open.\\par"
              "\\fs22 Plain text, {\\i rich text} and {\\cf1 encrypted documents}.\\par}");
    writeDocument(path("Secrets.eco"), "kelp",
                  "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs22 This page is stored encrypted "
                  "and compressed.\\par}");
    start();
    form->resize(760, 520);
    ASSERT_GE(form->OpenDocument(path("Letter.rtf"), true, {}), 0);
    passwords.answer(QStringLiteral("kelp"));
    prompter.answer(kelpa::MessageAnswer::Yes); // the text shown is right
    ASSERT_GE(form->OpenDocument(path("Secrets.eco"), true, {}), 0);
    form->pageControl()->setCurrentIndex(0);
    form->raise();
    form->activateWindow();
    pump(500);
    const QPixmap shot = form->grab();
    const QString out = QStringLiteral(KELPA_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(out);
    const QString file = out + QStringLiteral("/editor.png");
    ASSERT_TRUE(shot.save(file, "PNG"));
    EXPECT_GT(QFileInfo(file).size(), 1000);
    EXPECT_EQ(form->pageControl()->count(), 2);
    EXPECT_EQ(form->pageControl()->tabText(1), "Secrets.eco");
}
