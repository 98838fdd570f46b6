// Caption rules, error and question boxes, Y/N values, the silent abort.
#include "support/MessageBoxes.h"
#include "common/ScriptedPrompter.h"

#include <QGuiApplication>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace kelpa;

namespace {

class CaptionRulesGuard {
public:
    explicit CaptionRulesGuard(CaptionRules r) : previous_(CurrentCaptionRules()) { SetCaptionRules(r); }
    ~CaptionRulesGuard() { SetCaptionRules(previous_); }

private:
    CaptionRules previous_;
};

} // namespace

TEST(CaptionRules, IconAndShownCaption)
{
    const QString longCaption = QStringLiteral("$E") + QString(4000, QLatin1Char('x'));
    struct Case {
        QString caption;
        MessageIcon basicIcon;
        QString basicCaption;
        MessageIcon extendedIcon;
        QString extendedCaption;
    };
    const Case cases[] = {
        {"$WOBRIN", MessageIcon::Warning, "OBRIN", MessageIcon::Warning, "OBRIN"},
        {"$ESpell Checker", MessageIcon::Error, "Spell Checker", MessageIcon::Error, "Spell Checker"},
        {"$XOther", MessageIcon::Information, "Other", MessageIcon::Information, "Other"},
        {"$W", MessageIcon::Warning, "", MessageIcon::Warning, ""},
        {"$e lower case", MessageIcon::Information, " lower case", MessageIcon::Information, " lower case"},
        {"Kelpa", MessageIcon::Information, "Kelpa", MessageIcon::Information, "Kelpa"},
        {"Error", MessageIcon::Information, "Error", MessageIcon::Error, "Error"},
        {"&Save", MessageIcon::Information, "&Save", MessageIcon::Information, "Save"},
        {"&$Save", MessageIcon::Information, "&$Save", MessageIcon::Information, "&$Save"},
        // Too short for the prefix rules: shown as they stand instead of failing.
        {"", MessageIcon::Information, "", MessageIcon::Information, ""},
        {"$", MessageIcon::Information, "$", MessageIcon::Information, "$"},
        {longCaption, MessageIcon::Error, QString(3200, QLatin1Char('x')), MessageIcon::Error,
         QString(3200, QLatin1Char('x'))},
    };
    for (const Case &c : cases) {
        const MessageStyle basic = ResolveCaption(c.caption, CaptionRules::Basic);
        EXPECT_EQ(basic.icon, c.basicIcon) << c.caption.left(20).toStdString();
        EXPECT_EQ(basic.caption, c.basicCaption) << c.caption.left(20).toStdString();
        const MessageStyle extended = ResolveCaption(c.caption, CaptionRules::Extended);
        EXPECT_EQ(extended.icon, c.extendedIcon) << c.caption.left(20).toStdString();
        EXPECT_EQ(extended.caption, c.extendedCaption) << c.caption.left(20).toStdString();
    }
}

TEST(MessageBoxes, ShowMessageBoxUsesTheProgramsRules)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    ShowMessageBox(QStringLiteral("$WOBRIN"), QStringLiteral("The two entries don't match."));
    {
        CaptionRulesGuard extended(CaptionRules::Extended);
        ShowMessageBox(QStringLiteral("Error"), QStringLiteral("x"));
    }
    ShowMessageBox(QStringLiteral("Error"), QStringLiteral("y"));
    ASSERT_EQ(p.shown().size(), 3u);
    EXPECT_EQ(p.shown()[0].caption, QStringLiteral("OBRIN"));
    EXPECT_EQ(p.shown()[0].text, QStringLiteral("The two entries don't match."));
    EXPECT_EQ(p.shown()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(p.shown()[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(p.shown()[1].icon, MessageIcon::Error);
    EXPECT_EQ(p.shown()[2].icon, MessageIcon::Information);
    EXPECT_EQ(p.unanswered(), 0);
}

TEST(MessageBoxes, ErrorBoxAppendsTheSystemTextOfTheError)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    ShowErrorBox(QStringLiteral("Cannot remove the file multi.dat"), ENOENT);
    ASSERT_EQ(p.shown().size(), 1u);
    EXPECT_EQ(p.last().caption, QStringLiteral("Error"));
    EXPECT_EQ(p.last().icon, MessageIcon::Warning);
    EXPECT_EQ(p.last().text, QStringLiteral("Cannot remove the file multi.dat.\n")
                                 + QString::fromLocal8Bit(std::strerror(ENOENT)));
    // No error has no system text ("Success" would read as if nothing had failed).
    ShowErrorBox(QStringLiteral("E10: EC:NonOBRIN"), 0);
    EXPECT_EQ(p.last().text, QStringLiteral("E10: EC:NonOBRIN.\n"));
    // A given error number is shown whatever errno holds by then.
    errno = EACCES;
    ShowErrorBox(QStringLiteral("Cannot save"), ENOSPC);
    EXPECT_EQ(p.last().text, QStringLiteral("Cannot save.\n") + QString::fromLocal8Bit(std::strerror(ENOSPC)));
    ShowErrorBox(QStringLiteral("Cannot save"), 0);
    EXPECT_EQ(p.last().text, QStringLiteral("Cannot save.\n"));
}

TEST(MessageBoxes, QuestionsAreTrueOnlyForYes)
{
    struct Case {
        MessageAnswer answer;
        bool expected;
    };
    const Case cases[] = {{MessageAnswer::Yes, true}, {MessageAnswer::No, false},
                          {MessageAnswer::Cancel, false}, {MessageAnswer::Ok, false}};
    for (const Case &c : cases) {
        ScriptedPrompter p;
        ScopedPrompter scope(p);
        p.answer(c.answer);
        EXPECT_EQ(ConfirmYesNo(QStringLiteral("Replace it?")), c.expected);
        ASSERT_EQ(p.shown().size(), 1u);
        EXPECT_EQ(p.last().caption, QStringLiteral("Please Confirm"));
        EXPECT_EQ(p.last().text, QStringLiteral("Replace it?"));
        EXPECT_EQ(p.last().icon, MessageIcon::Question);
        EXPECT_EQ(p.last().buttons, MessageButtons::YesNo);
    }
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    p.answer(MessageAnswer::Yes);
    EXPECT_TRUE(AskYesNo(QStringLiteral("Spell Checker"), QStringLiteral("Save?")));
    EXPECT_EQ(p.last().caption, QStringLiteral("Spell Checker"));
}

TEST(MessageBoxes, ShowMessageHasTheApplicationTitleAndNoIcon)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Kelpa"));
    ShowMessage(QStringLiteral("CHARMAP.EXE not found"));
    EXPECT_EQ(p.last().caption, QStringLiteral("Kelpa"));
    EXPECT_EQ(p.last().icon, MessageIcon::None);
    EXPECT_EQ(p.last().text, QStringLiteral("CHARMAP.EXE not found"));
}

TEST(YesNoValues, BoolToYN)
{
    const std::pair<int, const char *> cases[] = {{1, "Y"}, {0, "N"}, {2, "N"}, {-1, "N"}, {true, "Y"}, {false, "N"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(BoolToYN(value), QLatin1String(text)) << value;
}

TEST(YesNoValues, YNToBoolAbortsOnAnythingElse)
{
    EXPECT_TRUE(YNToBool(QStringLiteral("Y")));
    EXPECT_TRUE(YNToBool(QStringLiteral("y")));
    EXPECT_FALSE(YNToBool(QStringLiteral("N")));
    EXPECT_FALSE(YNToBool(QStringLiteral("n")));
    for (const char *bad : {"", "Yes", "1", "0", " Y", "true", "YN"})
        EXPECT_THROW(YNToBool(QLatin1String(bad)), Abort) << '"' << bad << '"';
}

TEST(Abort, HandlerBoundariesSwallowAbortAndShowOtherExceptions)
{
    ScriptedPrompter p;
    ScopedPrompter scope(p);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Kelpa"));
    bool reachedEnd = false;
    auto silent = Guarded([&] {
        YNToBool(QStringLiteral("maybe"));
        reachedEnd = true;
    });
    silent();
    EXPECT_FALSE(reachedEnd);
    EXPECT_TRUE(p.shown().empty());

    int got = 0;
    auto withArgument = Guarded([&](int v) { got = v; });
    withArgument(5);
    EXPECT_EQ(got, 5);
    auto dropsArguments = Guarded([&] { got = 9; });
    dropsArguments(true, 3);
    EXPECT_EQ(got, 9);

    EXPECT_FALSE(RunGuarded([] { throw std::runtime_error("Cannot open the page"); }));
    ASSERT_EQ(p.shown().size(), 1u);
    EXPECT_EQ(p.last().caption, QStringLiteral("Kelpa"));
    EXPECT_EQ(p.last().text, QStringLiteral("Cannot open the page"));
    EXPECT_EQ(p.last().icon, MessageIcon::Error);
}
