// The password dialog, driven by keys and clicks.
#include "support/PasswordDialog.h"
#include "common/ScriptedPrompter.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

using namespace kelpa;

namespace {

// Runs the dialog modally while `script` types into it; the dialog is cancelled after a while
// should the script not end it.
int runDialog(TOBRINPasswordDlg &dlg, const std::function<void()> &script)
{
    QTimer::singleShot(0, &dlg, script);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dlg, [&] {
        ADD_FAILURE() << "the script did not end the dialog";
        dlg.CancelBtn->click();
    });
    guard.start(10000);
    return dlg.ShowModal();
}

} // namespace

TEST(PasswordDialog, DecodeModeOkNeedsAPassword)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    TOBRINPasswordDlg dlg;
    EXPECT_EQ(TOBRINPasswordDlg::instance(), &dlg);
    dlg.setDecodeMode();
    dlg.setClearOnShow(true);
    const int result = runDialog(dlg, [&] {
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("ECO file password"));
        EXPECT_TRUE(dlg.Label3->isVisible());
        EXPECT_EQ(dlg.Label3->text(), QStringLiteral("Please, enter decoder password for this encrypted file"));
        EXPECT_FALSE(dlg.PasswordChk->isVisible());
        EXPECT_FALSE(dlg.OKBtn->isEnabled());
        QTest::keyClick(dlg.Password, Qt::Key_Return);   // does nothing while empty
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.Tag(), 0);
        QTest::keyClicks(dlg.Password, QStringLiteral("secret"));
        EXPECT_TRUE(dlg.OKBtn->isEnabled());
        QTest::keyClick(dlg.Password, Qt::Key_Backspace);
        QTest::keyClicks(dlg.Password, QStringLiteral("T"));
        QTest::keyClick(dlg.Password, Qt::Key_Return);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dlg.Tag(), 1);
    EXPECT_EQ(dlg.password(), QStringLiteral("secreT"));
    EXPECT_TRUE(p.shown().empty());
}

TEST(PasswordDialog, DecodeModeIgnoresTheConfirmationEntry)
{
    TOBRINPasswordDlg dlg;
    dlg.PasswordChk->setText(QStringLiteral("left over"));
    dlg.setDecodeMode();
    const int result = runDialog(dlg, [&] {
        QTest::keyClicks(dlg.Password, QStringLiteral("pw"));
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    EXPECT_EQ(result, 1);
}

TEST(PasswordDialog, EncodeModeInsistsOnMatchingEntries)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    TOBRINPasswordDlg dlg;
    dlg.setEncodeMode();
    dlg.setClearOnShow(true);
    const int result = runDialog(dlg, [&] {
        EXPECT_TRUE(dlg.PasswordChk->isVisible());
        EXPECT_FALSE(dlg.Label3->isVisible());
        QTest::keyClicks(dlg.Password, QStringLiteral("abc"));
        QTest::keyClicks(dlg.PasswordChk, QStringLiteral("abd"));
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        // The warning, and the dialog stays with the caret back in the first entry.
        ASSERT_EQ(p.shown().size(), 1u);
        EXPECT_EQ(p.last().caption, QStringLiteral("OBRIN"));
        EXPECT_EQ(p.last().text, QStringLiteral("The two entries don't match."));
        EXPECT_EQ(p.last().icon, MessageIcon::Warning);
        EXPECT_EQ(p.last().owner, &dlg);   // above the dialog, not behind it
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.Tag(), 0);
        EXPECT_EQ(dlg.focusWidget(), dlg.Password);
        // Enter in the second entry tries again.
        QTest::keyClick(dlg.PasswordChk, Qt::Key_Backspace);
        QTest::keyClicks(dlg.PasswordChk, QStringLiteral("c"));
        QTest::keyClick(dlg.PasswordChk, Qt::Key_Enter);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dlg.password(), QStringLiteral("abc"));
    EXPECT_EQ(p.shown().size(), 1u);
}

TEST(PasswordDialog, EscapeAndCancelGiveZero)
{
    TOBRINPasswordDlg dlg;
    dlg.setEncodeMode();
    // Esc cancels even with OK disabled, from either entry.
    EXPECT_EQ(runDialog(dlg, [&] { QTest::keyClick(dlg.Password, Qt::Key_Escape); }), 0);
    EXPECT_EQ(runDialog(dlg, [&] {
                  QTest::keyClicks(dlg.Password, QStringLiteral("x"));
                  QTest::keyClicks(dlg.PasswordChk, QStringLiteral("x"));
                  QTest::keyClick(dlg.PasswordChk, Qt::Key_Escape);
              }),
              0);
    EXPECT_EQ(runDialog(dlg, [&] {
                  QTest::keyClicks(dlg.Password, QStringLiteral("y"));
                  QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
              }),
              0);
    EXPECT_EQ(runDialog(dlg, [&] { dlg.close(); }), 0);
}

TEST(PasswordDialog, EntriesAreKeptUnlessEmptyingIsAsked)
{
    TOBRINPasswordDlg dlg;
    dlg.setDecodeMode();
    ASSERT_EQ(runDialog(dlg, [&] {
                  QTest::keyClicks(dlg.Password, QStringLiteral("kept"));
                  QTest::keyClick(dlg.Password, Qt::Key_Return);
              }),
              1);
    EXPECT_EQ(runDialog(dlg, [&] {
                  EXPECT_EQ(dlg.Password->text(), QStringLiteral("kept"));
                  EXPECT_TRUE(dlg.OKBtn->isEnabled());
                  QTest::keyClick(dlg.Password, Qt::Key_Return);
              }),
              1);
    dlg.setClearOnShow(true);
    EXPECT_EQ(runDialog(dlg, [&] {
                  EXPECT_TRUE(dlg.Password->text().isEmpty());
                  EXPECT_FALSE(dlg.OKBtn->isEnabled());
                  QTest::keyClick(dlg.Password, Qt::Key_Escape);
              }),
              0);
}

TEST(PasswordDialog, EntryLengthAndPasswordBytes)
{
    TOBRINPasswordDlg editor(nullptr, 256);
    EXPECT_EQ(editor.Password->maxLength(), 256);
    EXPECT_EQ(TOBRINPasswordDlg::instance(), &editor);
    {
        TOBRINPasswordDlg print(nullptr, 255);
        EXPECT_EQ(print.PasswordChk->maxLength(), 255);
    }
    EXPECT_EQ(TOBRINPasswordDlg::instance(), nullptr);
    EXPECT_EQ(editor.Password->echoMode(), QLineEdit::Password);
    editor.Password->setText(QStringLiteral("pässwört€"));
    EXPECT_EQ(editor.passwordBytes(), QByteArray("p\xE4ssw\xF6rt\x80"));
}

// No character of a password is ever replaced: Windows-1252 when it holds them all, else
// Windows-1251, else the entry is refused.
TEST(PasswordDialog, PasswordBytesKeepEveryCharacter)
{
    const struct {
        QString password;
        std::optional<QByteArray> bytes;
    } cases[] = {
        {QStringLiteral("plain"), QByteArray("plain")},
        {QStringLiteral("pässwört€"), QByteArray("p\xE4ssw\xF6rt\x80")},
        {QStringLiteral("пароль"), QByteArray("\xEF\xE0\xF0\xEE\xEB\xFC")},
        {QStringLiteral("шифрую"), QByteArray("\xF8\xE8\xF4\xF0\xF3\xFE")},
        {QStringLiteral("Ёж №1 €"), QByteArray("\xA8\xE6 \xB9" "1 \x88")},
        {QStringLiteral("café пароль"), std::nullopt},
        {QStringLiteral("Ωμέγα"), std::nullopt},
        {QStringLiteral("ключ\U0001F511"), std::nullopt},
    };
    TOBRINPasswordDlg dlg;
    for (const auto &c : cases) {
        EXPECT_EQ(TOBRINPasswordDlg::PasswordBytes(c.password), c.bytes) << c.password.toStdString();
        dlg.Password->setText(c.password);
        EXPECT_EQ(dlg.passwordBytes(), c.bytes.value_or(QByteArray())) << c.password.toStdString();
    }
}

TEST(PasswordDialog, OkRefusesAPasswordWithoutBytes)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    TOBRINPasswordDlg dlg;
    for (const bool encode : {true, false}) {
        encode ? dlg.setEncodeMode() : dlg.setDecodeMode();
        dlg.setClearOnShow(true);
        const int result = runDialog(dlg, [&] {
            // Set as text: key clicks carry Latin letters only.
            dlg.Password->setText(QStringLiteral("café пароль"));
            dlg.PasswordChk->setText(QStringLiteral("café пароль"));
            QTest::keyClick(dlg.Password, Qt::Key_Return);
            ASSERT_EQ(p.shown().size(), 1u);
            EXPECT_EQ(p.last().caption, QStringLiteral("OBRIN"));
            EXPECT_EQ(p.last().text, QString::fromUtf8(TOBRINPasswordDlg::kUnusableCharacters));
            EXPECT_EQ(p.last().icon, MessageIcon::Warning);
            EXPECT_EQ(p.last().owner, &dlg);
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(dlg.Tag(), 0);
            EXPECT_EQ(dlg.focusWidget(), dlg.Password);
            dlg.Password->setText(QStringLiteral("пароль"));
            dlg.PasswordChk->setText(QStringLiteral("пароль"));
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        });
        EXPECT_EQ(result, 1) << encode;
        EXPECT_EQ(dlg.passwordBytes(), QByteArray("\xEF\xE0\xF0\xEE\xEB\xFC")) << encode;
        EXPECT_EQ(p.shown().size(), 1u) << encode;
        p.clear();
    }
}

TEST(PasswordDialog, Placement)
{
    const QSize dialog(264, 163);
    const QRect screen(0, 0, 1280, 1024);
    struct Case {
        QRect main;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(100, 100, 800, 600), QPoint(100 + 400 - 132, 100 + 300 - 81)},
        {QRect(0, 0, 101, 101), QPoint(0, 0)},                          // halves round towards zero, then clamp
        {QRect(-700, -500, 800, 600), QPoint(0, 0)},                    // partly off the top left
        {QRect(1100, 900, 800, 600), QPoint(1280 - 264, 1024 - 20 - 163)},
        {QRect(500, 841, 264, 163), QPoint(500, 841)},                  // bottom exactly 20 above
    };
    for (const Case &c : cases)
        EXPECT_EQ(TOBRINPasswordDlg::PlaceOnScreen(c.main, dialog, screen), c.expected)
            << c.main.x() << "," << c.main.y();
    // A screen right of the first and one left of it (negative coordinates): the dialog stays
    // on the main form's screen.
    struct OtherScreen {
        QRect screen, main;
        QPoint expected;
    };
    const OtherScreen others[] = {
        {QRect(1280, 0, 1920, 1080), QRect(1500, 100, 800, 600), QPoint(1500 + 400 - 132, 100 + 300 - 81)},
        {QRect(1280, 0, 1920, 1080), QRect(1200, 900, 800, 600), QPoint(1200 + 400 - 132, 1080 - 20 - 163)},
        {QRect(-1920, 0, 1920, 1080), QRect(-1900, -50, 300, 200), QPoint(-1900 + 150 - 132, 0)},
        {QRect(-1920, 0, 1920, 1080), QRect(-200, 500, 800, 600), QPoint(-264, 500 + 300 - 81)},
    };
    for (const OtherScreen &c : others)
        EXPECT_EQ(TOBRINPasswordDlg::PlaceOnScreen(c.main, dialog, c.screen), c.expected)
            << c.main.x() << "," << c.main.y();
}

TEST(PasswordDialog, ShownCentredOnTheMainFormAndKeptOnScreen)
{
    QWidget main;
    main.show();
    TOBRINPasswordDlg dlg(&main);
    dlg.setDecodeMode();
    const QRect screenArea = main.screen()->geometry();
    const QSize screen = screenArea.size();
    const QRect places[] = {QRect(200, 150, 640, 480), QRect(-700, -500, 800, 600),
                            QRect(screen.width() - 100, screen.height() - 50, 800, 600)};
    for (const QRect &place : places) {
        main.setGeometry(place);
        QPoint shownAt;
        runDialog(dlg, [&] {
            shownAt = dlg.frameGeometry().topLeft();
            QTest::keyClick(dlg.Password, Qt::Key_Escape);
        });
        EXPECT_EQ(shownAt, TOBRINPasswordDlg::PlaceOnScreen(main.frameGeometry(), dlg.frameGeometry().size(), screenArea))
            << place.x() << "," << place.y();
        EXPECT_GE(shownAt.x(), 0);
        EXPECT_GE(shownAt.y(), 0);
        EXPECT_LE(shownAt.y() + dlg.frameGeometry().height(), screen.height() - 20);
    }
}

TEST(PasswordDialog, RestoredFromItsIconKeepsWhatWasTyped)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    TOBRINPasswordDlg dlg;
    dlg.setEncodeMode();
    dlg.setClearOnShow(true);
    QString typed, checked;
    int cursor = -1;
    runDialog(dlg, [&] {
        QTest::keyClicks(dlg.Password, QStringLiteral("secret"));
        QTest::keyClicks(dlg.PasswordChk, QStringLiteral("sec"));
        dlg.Password->setCursorPosition(2);
        // Minimised, the window is hidden; restored, it is shown again.
        dlg.setWindowState(Qt::WindowMinimized);
        QHideEvent hidden;
        QCoreApplication::sendEvent(&dlg, &hidden);
        dlg.setWindowState(Qt::WindowNoState);
        QShowEvent shown;
        QCoreApplication::sendEvent(&dlg, &shown);
        QTest::qWait(50); // the set-up's timer would move the cursor
        typed = dlg.Password->text();
        checked = dlg.PasswordChk->text();
        cursor = dlg.Password->cursorPosition();
        QTest::keyClick(dlg.PasswordChk, Qt::Key_Escape);
    });
    EXPECT_EQ(typed, QStringLiteral("secret"));
    EXPECT_EQ(checked, QStringLiteral("sec"));
    EXPECT_EQ(cursor, 2);
    // A new showing starts afresh.
    runDialog(dlg, [&] {
        typed = dlg.Password->text();
        QTest::keyClick(dlg.Password, Qt::Key_Escape);
    });
    EXPECT_EQ(typed, QString());
}

TEST(PasswordDialog, BackgroundLabelColour)
{
    const std::pair<QRgb, QRgb> cases[] = {
        {0xFFFFFF, 0xF8F8F8},
        {0xF0F0F0, 0xF8F8F8},
        {0xD4D0C8, 0xDCD8D0},
        {0xF8F7F6, 0xFFFFFE},
        {0x000000, 0x080808},
        {0xFFFFF0, 0xFFFFF8},
    };
    for (const auto &[face, label] : cases)
        EXPECT_EQ(TOBRINPasswordDlg::LightenedFaceColour(face) & 0xFFFFFF, label) << std::hex << face;
}

TEST(PasswordDialog, ReachedThroughTheDialogPrompter)
{
    DialogPrompter prompter;
    EXPECT_EQ(prompter.password({}), std::nullopt) << "no dialog yet: nothing to ask with";
    TOBRINPasswordDlg dlg(nullptr, 256);
    // Plain fields: GCC warns falsely about optional<QString> members of a braced table.
    struct Case {
        const char *name;
        PasswordMode mode;
        const char *initial; // null: none given
        bool clear;
        const char *typed;   // null: Cancel
        bool encodeShown;    // the confirmation entry shown
        const char *prefill; // what the entries held when shown
    };
    const Case cases[] = {
        {"decode", PasswordMode::Decode, nullptr, true, "secret", false, ""},
        // In both entries, so that OK takes it as it is.
        {"encode after a decode offers what was typed last", PasswordMode::Encode, nullptr, false, "", true, "secret"},
        {"encode offers what was typed last", PasswordMode::Encode, nullptr, false, "next", true, "secret"},
        {"encode with a given text, cancelled", PasswordMode::Encode, "given", false, nullptr, true, "given"},
        {"emptying wins", PasswordMode::Encode, "given", true, "x", true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PasswordRequest request;
        request.mode = c.mode;
        if (c.initial)
            request.initial = QString::fromUtf8(c.initial);
        request.clear = c.clear;
        bool encodeShown = false;
        QString prefill;
        QString confirmationPrefill;
        const QString typed = c.typed && *c.typed ? QString::fromUtf8(c.typed) : QString::fromUtf8(c.prefill);
        QTimer::singleShot(0, &dlg, [&] {
            encodeShown = dlg.PasswordChk->isVisible();
            prefill = dlg.Password->text();
            confirmationPrefill = dlg.PasswordChk->text();
            if (!c.typed) {
                dlg.CancelBtn->click();
                return;
            }
            if (*c.typed) {
                // As a user types: into the entries shown.
                dlg.Password->setText(typed);
                if (encodeShown)
                    dlg.PasswordChk->setText(typed);
            } else if (dlg.Password->text() != dlg.PasswordChk->text()) {
                dlg.CancelBtn->click(); // OK would only say that the entries differ
                return;
            }
            // Nothing typed: OK takes what the entries hold.
            dlg.OKBtn->click();
        });
        const std::optional<QString> result = prompter.password(request);
        EXPECT_EQ(result.has_value(), c.typed != nullptr);
        if (c.typed && result) {
            EXPECT_EQ(*result, typed);
        }
        EXPECT_EQ(encodeShown, c.encodeShown);
        EXPECT_EQ(prefill, QString::fromUtf8(c.prefill));
        if (c.encodeShown) {
            EXPECT_EQ(confirmationPrefill, QString::fromUtf8(c.prefill));
        }
        EXPECT_TRUE(dlg.isEncodeMode()) << "the dialog rests in encode mode";
    }
}

TEST(PasswordDialog, DecodingPromptTakesItsOwnLayout)
{
    TOBRINPasswordDlg dlg(nullptr, 256);
    DialogPrompter prompter;
    dlg.show(); // laid out as it first shows
    dlg.hide();
    const QRect entry = dlg.Password->geometry();
    const QRect confirmation = dlg.PasswordChk->geometry();
    bool checked = false;
    QTimer::singleShot(0, &dlg, [&] {
        checked = true;
        EXPECT_EQ(dlg.Password->geometry(), confirmation) << "the entry takes the confirmation's place";
        EXPECT_FALSE(dlg.PasswordChk->isVisible());
        EXPECT_FALSE(dlg.Label1->isVisible());
        EXPECT_FALSE(dlg.Label2->isVisible());
        EXPECT_TRUE(dlg.Label3->isVisible());
        EXPECT_LE(dlg.Label3->geometry().bottom(), dlg.Password->geometry().top())
            << "the explanation stands above the entry";
        EXPECT_FALSE(dlg.Label3->geometry().intersects(dlg.Password->geometry()));
        dlg.Password->setText(QStringLiteral("pw"));
        dlg.OKBtn->click();
    });
    PasswordRequest request;
    request.mode = PasswordMode::Decode;
    EXPECT_EQ(prompter.password(request), QString("pw"));
    EXPECT_TRUE(checked);
    // Asking for a new password shows both entries where they belong.
    EXPECT_EQ(dlg.Password->geometry(), entry);
    EXPECT_FALSE(dlg.PasswordChk->isHidden());
    EXPECT_FALSE(dlg.Label1->isHidden());
    EXPECT_FALSE(dlg.Label2->isHidden());
    EXPECT_TRUE(dlg.Label3->isHidden());
}
