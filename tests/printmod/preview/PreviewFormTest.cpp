#include "PreviewFixture.h"

#include "platform/Registry.h"
#include "printmod/preview/RichPreviewPages.h"
#include "printmod/preview/TArrowButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <functional>

using namespace kelpa::preview;
using kelpa::test::PreviewTest;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> filesIn(const fs::path &folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(PreviewTest, FormattingShowsEachNewPageThenTheSetUpShowsPageOne)
{
    format(0);
    EXPECT_EQ(form->windowTitle(), "Print Preview (Formatting)");
    for (int n = 1; n <= 3; ++n) {
        form->FillImagelist(kelpa::test::numberedPage(n));
        form->Repaint();
        EXPECT_EQ(mainPage(), n);
        EXPECT_EQ(form->Edit1()->text(), QString::fromStdString(pageText(n)));
    }
    EXPECT_TRUE(form->Label10()->isHidden());
    EXPECT_FALSE(form->TwoWindows());

    form->FormActivate();
    EXPECT_EQ(form->windowTitle(), "Print Preview");
    EXPECT_FALSE(form->Label10()->isHidden());
    EXPECT_EQ(form->Label10()->text(), "(3)");
    EXPECT_EQ(form->Edit1()->text(), "   1");
    EXPECT_EQ(mainPage(), 1);
    ASSERT_TRUE(form->TwoWindows()); // the offscreen screen holds two windows side by side
    EXPECT_EQ(secondPage(), 2);
    EXPECT_EQ(form->Preview2()->Label2()->text(), "   2");
    EXPECT_EQ(form->Preview2()->size(), form->size());
    EXPECT_FALSE(form->ArrowButton1()->isEnabled());
    EXPECT_TRUE(form->ArrowButton2()->isEnabled());

    // Coming back to the window later keeps the page the user was on.
    QTest::keyClick(form, Qt::Key_End);
    form->FormActivate();
    EXPECT_EQ(mainPage(), 3);
}

TEST_F(PreviewTest, OnePageDocumentHasNoSecondWindowNorCompactView)
{
    open(1);
    EXPECT_FALSE(form->TwoWindows());
    EXPECT_TRUE(form->Edit1()->isReadOnly());
    EXPECT_TRUE(form->CheckBox1()->isHidden());
    EXPECT_EQ(mainPage(), 1);
}

TEST_F(PreviewTest, PageFilesLiveInTheirOwnFolderAndGoWithTheWindow)
{
    for (bool compress : {true, false}) {
        open(3, compress);
        const fs::path folder = form->cache()->folder();
        EXPECT_EQ(folder.parent_path(), dir.path());
        const std::vector<std::string> expected =
            compress ? std::vector<std::string>{".lock", "PreviewMetafile0.CPR", "PreviewMetafile1.CPR", "PreviewMetafile2.CPR"}
                     : std::vector<std::string>{".lock", "PreviewMetafile0", "PreviewMetafile1", "PreviewMetafile2"};
        QTest::keyClick(form, Qt::Key_PageUp); // painting leaves no plain copies behind
        EXPECT_EQ(filesIn(folder), expected) << compress;
        QPointer<TPreview2> second = form->Preview2();
        form->close();
        QApplication::processEvents();
        EXPECT_FALSE(form);
        EXPECT_FALSE(second);
        EXPECT_FALSE(fs::exists(folder));
        EXPECT_TRUE(filesIn(dir.path()).empty());
    }
}

TEST_F(PreviewTest, KeysAndTypedNumbersMoveThroughPagePairs)
{
    open(9);
    ASSERT_TRUE(form->TwoWindows());
    struct Step {
        const char *what;
        std::function<void()> act;
        int main, second; // 0: blank
    } steps[] = {
        {"PgUp", [&] { QTest::keyClick(form, Qt::Key_PageUp); }, 3, 4},
        {"next arrow", [&] { form->ArrowButton2Click(); }, 5, 6},
        {"End", [&] { QTest::keyClick(form, Qt::Key_End); }, 9, 0},
        {"PgDn", [&] { QTest::keyClick(form, Qt::Key_PageDown); }, 7, 8},
        {"Home", [&] { QTest::keyClick(form, Qt::Key_Home); }, 1, 2},
        {"typed 5", [&] {
             form->Edit1()->selectAll();
             QTest::keyClicks(form->Edit1(), "5");
             QTest::keyClick(form->Edit1(), Qt::Key_Return);
         }, 5, 6},
        {"typed 8", [&] {
             form->Edit1()->selectAll();
             QTest::keyClicks(form->Edit1(), "8");
             QTest::keyClick(form->Edit1(), Qt::Key_Return);
         }, 7, 8},
        {"typed 0 ignored", [&] {
             form->Edit1()->selectAll();
             QTest::keyClicks(form->Edit1(), "0");
             QTest::keyClick(form->Edit1(), Qt::Key_Return);
         }, 7, 8},
    };
    for (const auto &s : steps) {
        s.act();
        EXPECT_EQ(mainPage(), s.main) << s.what;
        if (s.second)
            EXPECT_EQ(secondPage(), s.second) << s.what;
        else
            EXPECT_EQ(secondPage(), 0) << s.what;
    }
    // PgUp at the end does nothing: its button is off.
    QTest::keyClick(form, Qt::Key_End);
    EXPECT_FALSE(form->ArrowButton2()->isEnabled());
    QTest::keyClick(form, Qt::Key_PageUp);
    EXPECT_EQ(mainPage(), 9);
}

// A number is taken whole, on Enter or after a pause, never digit by digit; what is not a
// page of the document puts the page shown back into the box.
TEST_F(PreviewTest, TypedNumbersAreTakenWhole)
{
    open(30);
    ASSERT_TRUE(form->TwoWindows());
    auto type = [&](const char *text) {
        form->Edit1()->selectAll();
        QTest::keyClicks(form->Edit1(), text);
    };
    type("24");
    EXPECT_EQ(form->Edit1()->text(), "24"); // the box is not written while typing
    EXPECT_EQ(mainPage(), 1);
    QTest::keyClick(form->Edit1(), Qt::Key_Enter);
    EXPECT_EQ(form->state().pageIndex, 22);
    EXPECT_EQ(form->Edit1()->text(), "  23");

    type("13"); // no Enter: the pause takes it
    EXPECT_EQ(form->state().pageIndex, 22);
    QTest::qWait(TRichPreviewForm::kTypedPagePauseMs + 300);
    EXPECT_EQ(form->state().pageIndex, 12);
    EXPECT_EQ(form->Edit1()->text(), "  13");

    for (const char *bad : {"0", "-1", "99999", "abc"}) {
        type(bad);
        QTest::keyClick(form->Edit1(), Qt::Key_Return);
        EXPECT_EQ(form->state().pageIndex, 12) << bad;
        EXPECT_EQ(form->Edit1()->text(), "  13") << bad;
    }

    form->CheckBox1()->click(); // compact, two windows: eight pages a view
    type("20");
    QTest::keyClick(form->Edit1(), Qt::Key_Return);
    EXPECT_EQ(form->state().pageIndex, 16);
    EXPECT_EQ(form->Edit1()->text(), "  17");
}

// Next and previous are on exactly when there is a page to go to, whatever came before.
TEST_F(PreviewTest, NextAndPreviousOnlyWhenThereIsAPageToGoTo)
{
    struct Case {
        const char *what;
        int pages;
        std::function<void()> act;
        bool previousOn, nextOn;
    };
    const Case cases[] = {
        {"one page", 1, [] {}, false, false},
        {"two pages, compact on and off", 2,
         [&] {
             form->CheckBox1()->click();
             form->CheckBox1()->click();
         },
         false, false},
        {"four pages, typed 3", 4,
         [&] {
             form->Edit1()->selectAll();
             QTest::keyClicks(form->Edit1(), "3");
             QTest::keyClick(form->Edit1(), Qt::Key_Return);
         },
         true, false},
        {"five pages, end", 5, [&] { QTest::keyClick(form, Qt::Key_End); }, true, false},
    };
    for (const Case &c : cases) {
        open(c.pages);
        c.act();
        EXPECT_EQ(form->ArrowButton1()->isEnabled(), c.previousOn) << c.what;
        EXPECT_EQ(form->ArrowButton2()->isEnabled(), c.nextOn) << c.what;
        const int before = mainPage();
        form->ArrowButton2Click(); // nothing follows: the view stays
        if (!c.nextOn) {
            EXPECT_EQ(mainPage(), before) << c.what;
        }
        form->close();
        QApplication::processEvents();
    }
}

// Every control of the bar is shown whole inside the window, none over another, on small and
// on scaled screens (a scaled screen is a smaller one in the window's own pixels).
TEST_F(PreviewTest, TheBarShowsEveryControlWholeOnEveryScreen)
{
    struct Case {
        const char *what;
        QSize screen;
    };
    const Case cases[] = {
        {"640x480", {640, 480}},       {"800x600", {800, 600}},          {"600x800", {600, 800}},
        {"1280x1024 at 1.5", {853, 683}}, {"1280x1024 at 2", {640, 512}}, {"1280x1024", {1280, 1024}},
    };
    for (const Case &c : cases) {
        screen = c.screen;
        open(3);
        form->Label10()->setText("(11691)"); // the longest count a long document gives
        QApplication::processEvents();
        const QRect window = form->rect();
        EXPECT_LE(form->width() + 8, c.screen.width()) << c.what;
        EXPECT_LE(form->height() + 27, c.screen.height()) << c.what;
        EXPECT_GE(form->ScrollBox1()->height(), 100) << c.what; // the page keeps room
        std::vector<std::pair<QString, QRect>> placed;
        for (QWidget *w : form->findChildren<QWidget *>()) {
            const bool control = qobject_cast<QPushButton *>(w) || qobject_cast<QLabel *>(w)
                                 || qobject_cast<QLineEdit *>(w) || qobject_cast<QCheckBox *>(w)
                                 || qobject_cast<TArrowButton *>(w);
            if (!control || !w->isVisibleTo(form) || w->window() != form.data())
                continue;
            if (form->ScrollBox1()->isAncestorOf(w) || w->mapTo(form.data(), QPoint(0, 0)).y() == 0)
                continue; // the page and the unit label over the rulers
            QString name = w->objectName();
            if (auto *l = qobject_cast<QLabel *>(w))
                name = l->text();
            else if (auto *b = qobject_cast<QAbstractButton *>(w))
                name = b->text();
            const QRect r(w->mapTo(form.data(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(window.contains(r)) << c.what << ": " << name.toStdString();
            if (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)) {
                EXPECT_GE(w->width(), w->sizeHint().width()) << c.what << ": " << name.toStdString() << " is cut";
            }
            for (const auto &[other, at] : placed)
                EXPECT_FALSE(r.intersects(at)) << c.what << ": " << name.toStdString() << " over "
                                               << other.toStdString();
            placed.emplace_back(name, r);
        }
        EXPECT_GE(placed.size(), 17u) << c.what;
        form->close();
        QApplication::processEvents();
    }
}

// The window system hands each key to the focused control in an event of its own, often at
// the address of the one before; a key is passed on to the parents within one delivery only.
TEST_F(PreviewTest, KeysStillWorkWhenTheFocusComesBackToTheWindow)
{
    open(9);
    alignas(QKeyEvent) static unsigned char slot[sizeof(QKeyEvent)];
    unsigned long time = 1000;
    auto press = [&](QWidget *target, Qt::Key key, const QString &text) {
        auto *e = new (slot) QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text);
        e->setTimestamp(time += 250);
        QApplication::sendEvent(target, e);
        e->~QKeyEvent();
    };
    press(form->Edit1(), Qt::Key_3, "3"); // typed into the page box
    form->setFocus();                       // the window is active again
    press(form, Qt::Key_PageUp, {});
    EXPECT_EQ(form->state().pageIndex, 2);
    press(form, Qt::Key_L, "l");
    EXPECT_EQ(form->Label7()->text(), "1.250");
    // A key the page box leaves goes on to the window as the same event and acts once.
    press(form->Edit1(), Qt::Key_PageUp, {});
    EXPECT_EQ(form->state().pageIndex, 4);
}

TEST_F(PreviewTest, CompactViewFillsQuadrantsOfBothWindows)
{
    open(7);
    ASSERT_TRUE(form->TwoWindows());
    form->CheckBox1()->setChecked(true);
    form->CheckBox1Click();
    EXPECT_EQ(form->Preview2()->Label2()->text(), "5-7");
    const QSize s = form->Image1()->size();
    for (int slot = 0; slot < 4; ++slot) {
        const Rect q = quadrant(slot, s.width(), s.height());
        const QRectF area(q.left, q.top, q.width, q.height);
        EXPECT_EQ(kelpa::test::pageIn(form->Image1()->bitmap, area), slot + 1) << slot;
        EXPECT_EQ(kelpa::test::pageIn(form->Preview2()->Image1()->bitmap, area), slot < 3 ? slot + 5 : 0) << slot;
    }
    // Seven pages fit one view of eight: nothing comes next.
    EXPECT_FALSE(form->ArrowButton2()->isEnabled());
}

TEST_F(PreviewTest, ZoomKeysAndTheRightButton)
{
    open(2);
    const QSize base = form->Image1()->size();
    QTest::keyClick(form, Qt::Key_L);
    EXPECT_EQ(form->Label7()->text(), "1.250");
    EXPECT_TRUE(form->SpeedButton3()->isEnabled());
    EXPECT_EQ(form->Image1()->size(), QSize(roundEven(base.width() * 1.25), roundEven(base.height() * 1.25)));
    EXPECT_EQ(form->Preview2()->Image1()->size(), form->Image1()->size());
    EXPECT_EQ(form->Image1()->toolTip(), "Click right mouse button for original size");
    EXPECT_EQ(mainPage(), 1);
    EXPECT_EQ(secondPage(), 2);
    QTest::mouseClick(form->Image1(), Qt::RightButton);
    EXPECT_EQ(form->Label7()->text(), "1.000");
    EXPECT_FALSE(form->SpeedButton3()->isEnabled());
    EXPECT_EQ(form->Image1()->size(), base);
    // A zoom step with blank places is 0.1.
    form->MaskEdit1()->setText("1.2");
    QTest::keyClick(form, Qt::Key_L);
    EXPECT_EQ(form->Label7()->text(), "1.100");
    QTest::keyClick(form, Qt::Key_S);
    EXPECT_EQ(form->Label7()->text(), "1.000");
}

// A page's note in its place: dark red text on white.
bool saysWhy(PageImage *image)
{
    const QImage &b = image->bitmap;
    for (int y = 0; y < b.height(); y += 1)
        for (int x = 0; x < b.width(); x += 1) {
            const QRgb p = b.pixel(x, y);
            if (qRed(p) > 80 && qGreen(p) < 40 && qBlue(p) < 40)
                return true;
        }
    return false;
}

// A damaged or deleted page file costs that page alone: the other page of the view is shown,
// and in the page's place the preview says why it is not there.
TEST_F(PreviewTest, DamagedOrMissingPageFilesCostThatPageAlone)
{
    open(4);
    ASSERT_TRUE(form->TwoWindows());
    const fs::path third = form->cache()->path(2);
    kelpa::test::writeBytes(third.string(), {0x78, 0x01, 0x00});
    QTest::keyClick(form, Qt::Key_PageUp);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.last().caption, "Error");
    EXPECT_EQ(prompter.last().icon, kelpa::MessageIcon::Error);
    EXPECT_TRUE(prompter.last().text.contains("PreviewMetafile2.CPR")) << prompter.last().text.toStdString();
    EXPECT_EQ(form->state().pageIndex, 2);
    EXPECT_EQ(mainPage(), 0);
    EXPECT_TRUE(saysWhy(form->Image1()));
    EXPECT_EQ(form->Edit1()->text(), "   3");
    EXPECT_EQ(secondPage(), 4); // not held up by the damaged page
    // A page file whose inflated bytes are not a page is damaged too.
    kelpa::test::writeBytes(third.string(), deflatePageFile({'K', 'P', 'P', 'G', 1}));
    QTest::keyClick(form, Qt::Key_Home);
    QTest::keyClick(form, Qt::Key_PageUp);
    EXPECT_EQ(prompter.messages().size(), 2u);
    EXPECT_EQ(mainPage(), 0);
    EXPECT_EQ(secondPage(), 4);

    // A deleted one: the page beside it is shown, and the empty place says so.
    fs::remove(form->cache()->path(1));
    QTest::keyClick(form, Qt::Key_Home);
    EXPECT_EQ(mainPage(), 1);
    EXPECT_EQ(secondPage(), 0);
    EXPECT_TRUE(saysWhy(form->Preview2()->Image1()));
    EXPECT_EQ(form->Preview2()->Label2()->text(), "   2");
    // The compact view goes on past it.
    form->CheckBox1()->click();
    const QSize size = form->Image1()->size();
    EXPECT_EQ(kelpa::test::pageIn(form->Image1()->bitmap, QRectF(0, 0, size.width() / 2.0, size.height() / 2.0)), 1);
    EXPECT_EQ(kelpa::test::pageIn(form->Image1()->bitmap,
                                  QRectF(size.width() / 2.0, size.height() / 2.0, size.width() / 2.0, size.height() / 2.0)),
              4);
}

TEST_F(PreviewTest, SecondWindowStaysWhileThePreviewNeedsIt)
{
    open(3);
    ASSERT_TRUE(form->TwoWindows());
    TPreview2 *second = form->Preview2();
    second->close();
    EXPECT_TRUE(second->isVisible());
    EXPECT_TRUE(second->windowFlags() & Qt::CustomizeWindowHint);
    EXPECT_FALSE(second->windowFlags() & Qt::WindowCloseButtonHint);
    // A key in the second window does nothing but hand the focus back.
    QTest::keyClick(second, Qt::Key_End);
    EXPECT_EQ(mainPage(), 1);
    EXPECT_EQ(second->windowTitle(), "next page(s)");
}

TEST_F(PreviewTest, RulersAppearWithTheFinishedPreview)
{
    format(2);
    const int top = form->ScrollBox1()->y();
    auto rulerLine = [&] { return form->grab().toImage().pixelColor(11, top + 3); };
    EXPECT_NE(rulerLine(), QColor(128, 128, 128));
    form->FormActivate();
    EXPECT_EQ(rulerLine(), QColor(128, 128, 128));
    // Zoomed in, the ruler runs on beyond the page; the bar below the page covers it, in both
    // windows.
    QTest::keyClick(form, Qt::Key_L);
    QTest::keyClick(form, Qt::Key_L);
    ASSERT_TRUE(form->TwoWindows());
    for (QWidget *window : {static_cast<QWidget *>(form.data()), static_cast<QWidget *>(form->Preview2())}) {
        const QImage shot = window->grab().toImage();
        const int below = form->ScrollBox1()->y() + form->ScrollBox1()->height() + 8;
        EXPECT_NE(shot.pixelColor(11, below), QColor(128, 128, 128)) << window->windowTitle().toStdString();
    }
}

// Pages that cannot go to disk stay in memory: the reason is shown once, and the preview works
// from the pages it has, whether single files or the whole page folder cannot be written.
TEST_F(PreviewTest, StoreFailuresAreReportedOnceWithTheReasonAndThePagesStay)
{
    struct Case {
        const char *what;
        std::function<void()> prepare; // before the pages come
        const char *reason;
    };
    const Case cases[] = {
        {"page files",
         [&] {
             // Something in the place of every page file: nothing can be stored.
             for (int i = 0; i < 3; ++i)
                 fs::create_directory(form->cache()->path(i));
         },
         "Is a directory"},
        {"page folder", [] {}, "Not a directory"},
    };
    for (const Case &c : cases) {
        prompter.clear();
        const bool noFolder = std::string(c.what) == "page folder";
        if (noFolder) {
            // The temporary folder is a file: no folder can be made in it.
            kelpa::test::writeText((dir.path() / "tmp").string(), "x");
            PreviewOptions options;
            options.cacheBase = dir.path() / "tmp" / "sub";
            options.screen = screen;
            form = new TRichPreviewForm(double(kelpa::test::kPageH) / kelpa::test::kPageW, options);
            form->PrinterPageWidth = kelpa::test::kPageW;
            form->PrinterPageHeight = kelpa::test::kPageH;
            form->Repaint();
            form->PageWidth = 210;
            form->PageHeight = 297;
            EXPECT_EQ(form->cache(), nullptr);
        } else {
            format(0);
        }
        c.prepare();
        for (int i = 0; i < 3; ++i) {
            form->FillImagelist(kelpa::test::numberedPage(i + 1));
            form->Repaint();
        }
        ASSERT_EQ(prompter.messages().size(), 1u) << c.what;
        const QString text = prompter.last().text;
        EXPECT_TRUE(text.startsWith("Can not save the page information (MetaFiles): ")) << text.toStdString();
        EXPECT_TRUE(text.contains(c.reason)) << text.toStdString();
        EXPECT_EQ(form->state().lastPageIndex, 2); // the pages still count
        EXPECT_EQ(mainPage(), 3) << c.what;
        form->FormActivate();
        EXPECT_EQ(form->Label10()->text(), "(3)") << c.what;
        EXPECT_EQ(mainPage(), 1) << c.what;
        ASSERT_TRUE(form->TwoWindows()) << c.what;
        EXPECT_EQ(secondPage(), 2) << c.what;
        EXPECT_EQ(form->Preview2()->Label2()->text(), "   2") << c.what;
        QTest::keyClick(form, Qt::Key_End);
        EXPECT_EQ(mainPage(), 3) << c.what;
        form->close();
        QApplication::processEvents();
    }
}

TEST_F(PreviewTest, PrintingThatFailsOrIsCancelledKeepsTheView)
{
    open(4);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(QString::fromStdString(dir.file("out.pdf")));
    form->setPrinter(&pdf);
    QTest::keyClick(form, Qt::Key_PageUp);
    ASSERT_EQ(form->state().pageIndex, 2);

    form->setPrintDialog([](QPrinter &, int, int, QWidget *) { return std::optional<PrintRange>(); });
    form->SpeedButton1Click();
    EXPECT_EQ(form->state().pageIndex, 2);
    EXPECT_TRUE(prompter.messages().empty());

    // The first page of the range is damaged: printing stops there, with a message.
    kelpa::test::writeBytes(form->cache()->path(0).string(), {1, 2, 3});
    form->setPrintDialog([](QPrinter &, int, int, QWidget *) { return std::optional<PrintRange>(PrintRange{1, 2}); });
    form->SpeedButton1Click();
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.last().caption, "Error");
    EXPECT_EQ(form->state().pageIndex, 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(mainPage(), 3);
    EXPECT_EQ(secondPage(), 4);
    EXPECT_FALSE(fs::exists(dir.file("out.pdf")));
}

TEST_F(PreviewTest, PrintingToAFileKeepsEveryPageInIt)
{
    open(5);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    const QString file = QString::fromStdString(dir.file("pages.pdf"));
    pdf.setOutputFileName(file);
    form->setPrinter(&pdf);
    form->PrinterPageWidth = pdf.width();
    form->PrinterPageHeight = pdf.height();
    form->setPrintDialog([](QPrinter &, int, int, QWidget *) { return std::optional<PrintRange>(PrintRange{2, 4}); });
    form->SpeedButton1Click();
    QProcess info;
    info.start("pdftotext", {file, "-"});
    info.waitForFinished(30000);
    const QStringList pages = QString::fromUtf8(info.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 3) << pages.join("|").toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(pages[i].contains(QStringLiteral("Page number %1").arg(i + 2))) << i;
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(PreviewTest, MoreKeysAndClicks)
{
    open(3);
    // Arrow keys scroll the zoomed page.
    QTest::keyClick(form, Qt::Key_L);
    QTest::keyClick(form, Qt::Key_L);
    QApplication::processEvents();
    QScrollBar *h = form->ScrollBox1()->horizontalScrollBar();
    ASSERT_GT(h->maximum(), 0);
    QTest::keyClick(form, Qt::Key_Right);
    EXPECT_EQ(h->value(), h->singleStep());
    QTest::keyClick(form, Qt::Key_Left);
    EXPECT_EQ(h->value(), 0);
    // A double click on the zoom factor resets it, the hint stays.
    QTest::mouseDClick(form->Label7(), Qt::LeftButton);
    EXPECT_EQ(form->Label7()->text(), "1.000");
    EXPECT_EQ(form->Image1()->toolTip(), "Click right mouse button for original size");
    // "p" anywhere prints, also typed into the page number box.
    int dialogs = 0;
    form->setPrintDialog([&](QPrinter &, int, int, QWidget *) {
        ++dialogs;
        return std::optional<PrintRange>();
    });
    QTest::keyClick(form, Qt::Key_P);
    QTest::keyClicks(form->Edit1(), "p");
    EXPECT_EQ(dialogs, 2);
}

TEST_F(PreviewTest, CompressionFollowsTheStoredSwitch)
{
    struct Case {
        const char *stored; // nullptr: no value
        bool compressed;
    } cases[] = {{"0", false}, {"1", true}, {"7", true}, {nullptr, true}};
    for (const Case &c : cases) {
        kelpa::platform::RegIniFile ini(QStringLiteral("RichPrint.Settings"));
        if (c.stored)
            ini.writeString(QStringLiteral("Compress"), QStringLiteral("CompressPreview"), QString::fromLatin1(c.stored));
        else
            kelpa::platform::RegistryKey().deleteKey(QStringLiteral("RichPrint.Settings"));
        PreviewOptions options;
        options.cacheBase = dir.path();
        QPointer<TRichPreviewForm> f = new TRichPreviewForm(1.414, options);
        EXPECT_EQ(f->CompressFiles(), c.compressed) << (c.stored ? c.stored : "missing");
        f->close();
        QApplication::processEvents();
    }
}

TEST_F(PreviewTest, AnAbandonedRunLeavesNoPages)
{
    PreviewOptions options;
    options.compressFiles = true;
    options.cacheBase = dir.path();
    options.screen = screen;
    auto *run = new RichPreviewPages(options);
    kelpa::printmod::PreviewSetup setup;
    setup.printerPageWidth = kelpa::test::kPageW;
    setup.printerPageHeight = kelpa::test::kPageH;
    setup.dpiX = setup.dpiY = kelpa::test::kPageDpi;
    setup.pageWidth = 210;
    setup.pageHeight = 297;
    setup.ratioPage = 297.0 / 210;
    run->setup(setup);
    QPointer<TRichPreviewForm> f = run->form();
    ASSERT_TRUE(f);
    for (int i = 0; i < 2; ++i) {
        QPainter *p = run->beginPage();
        ASSERT_TRUE(p);
        p->drawText(100, 100, QStringLiteral("page"));
        run->finishPage(false);
    }
    EXPECT_EQ(f->state().lastPageIndex, 1);
    const auto folder = f->cache()->folder();
    ASSERT_TRUE(fs::exists(folder));
    run->beginPage();
    run->abandon();
    QApplication::processEvents();
    EXPECT_FALSE(f);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(PreviewTest, TheLastPageSetsTheFinishedPreviewUp)
{
    PreviewOptions options;
    options.cacheBase = dir.path();
    options.screen = screen;
    auto *run = new RichPreviewPages(options);
    kelpa::printmod::PreviewSetup setup;
    setup.printerPageWidth = kelpa::test::kPageW;
    setup.printerPageHeight = kelpa::test::kPageH;
    setup.dpiX = setup.dpiY = kelpa::test::kPageDpi;
    setup.pageWidth = 210;
    setup.pageHeight = 297;
    setup.ratioPage = 297.0 / 210;
    run->setup(setup);
    form = run->form();
    for (bool last : {false, false, true}) {
        run->beginPage();
        run->finishPage(last);
    }
    EXPECT_EQ(form->windowTitle(), "Print Preview (Formatting)");
    QApplication::processEvents();
    EXPECT_EQ(form->windowTitle(), "Print Preview");
    EXPECT_TRUE(form->TwoWindows());
    EXPECT_EQ(form->Label10()->text(), "(3)");
}
