#include "support/MessageBoxes.h"

#include "platform/LastError.h"

#include <QGuiApplication>
#include <QWidget>

namespace kelpa {

namespace {

CaptionRules captionRules = CaptionRules::Basic;
constexpr int maxPrefixedCaption = 3200;

QString applicationTitle()
{
    return QGuiApplication::applicationDisplayName();
}

} // namespace

void SetCaptionRules(CaptionRules rules)
{
    captionRules = rules;
}

CaptionRules CurrentCaptionRules()
{
    return captionRules;
}

MessageStyle ResolveCaption(const QString &caption, CaptionRules rules)
{
    // A caption too short for its prefix is shown as it stands.
    if (caption.size() >= 2 && caption.at(0) == QLatin1Char('$')) {
        MessageStyle style;
        const QChar kind = caption.at(1);
        if (kind == QLatin1Char('E'))
            style.icon = MessageIcon::Error;
        else if (kind == QLatin1Char('W'))
            style.icon = MessageIcon::Warning;
        else
            style.icon = MessageIcon::Information;
        style.caption = caption.mid(2, maxPrefixedCaption);
        return style;
    }
    if (rules == CaptionRules::Extended) {
        if (caption == QLatin1String("Error"))
            return {MessageIcon::Error, caption};
        if (caption.startsWith(QLatin1Char('&')) && !caption.contains(QLatin1Char('$')))
            return {MessageIcon::Information, caption.mid(1)};
    }
    return {MessageIcon::Information, caption};
}

void ShowMessageBox(const QString &caption, const QString &text, QWidget *owner)
{
    const MessageStyle style = ResolveCaption(caption, captionRules);
    CurrentPrompter().message({style.caption, text, style.icon, MessageButtons::Ok, owner});
}

QString SystemErrorText()
{
    return platform::lastErrorText();
}

void ShowErrorBox(const QString &text, int systemError)
{
    CurrentPrompter().message({QStringLiteral("Error"),
                               text + QStringLiteral(".\n") + platform::errorText(systemError),
                               MessageIcon::Warning, MessageButtons::Ok, nullptr});
}

bool AskYesNo(const QString &caption, const QString &text, QWidget *owner)
{
    QWidget *window = owner ? owner : MainFormWindow();
    if (window)
        window->window()->raise();
    return CurrentPrompter().message({caption, text, MessageIcon::Question,
                                      MessageButtons::YesNo, window})
        == MessageAnswer::Yes;
}

bool ConfirmYesNo(const QString &text, QWidget *owner)
{
    return AskYesNo(QStringLiteral("Please Confirm"), text, owner);
}

void ShowMessage(const QString &text)
{
    CurrentPrompter().message({applicationTitle(), text, MessageIcon::None, MessageButtons::Ok,
                               nullptr});
}

void ShowException(const std::exception &e)
{
    CurrentPrompter().message({applicationTitle(), QString::fromLocal8Bit(e.what()),
                               MessageIcon::Error, MessageButtons::Ok, nullptr});
}

QString BoolToYN(int value)
{
    return value == 1 ? QStringLiteral("Y") : QStringLiteral("N");
}

bool YNToBool(const QString &text)
{
    const QString upper = text.toUpper();
    if (upper == QLatin1String("Y"))
        return true;
    if (upper == QLatin1String("N"))
        return false;
    throw Abort();
}

} // namespace kelpa
