#include "common/ScriptedPrompter.h"

#include "support/MessageBoxes.h"
#include "support/PasswordDialog.h"

#include <utility>

namespace kelpa {
namespace {

// The next scripted answer, or an empty one, counted as unanswered, when the script has run out.
template <class Answer>
Answer takeNext(std::deque<Answer> &answers, int &unanswered)
{
    if (answers.empty()) {
        ++unanswered;
        return Answer{};
    }
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

} // namespace

std::vector<ScriptedPrompter::Shown> ScriptedPrompter::messages() const
{
    std::vector<Shown> out;
    for (const Shown &s : shown_)
        if (s.kind == Shown::Kind::Message)
            out.push_back(s);
    return out;
}

std::vector<ScriptedPrompter::Shown> ScriptedPrompter::passwordPrompts() const
{
    std::vector<Shown> out;
    for (const Shown &s : shown_)
        if (s.kind == Shown::Kind::Password)
            out.push_back(s);
    return out;
}

void ScriptedPrompter::record(const Shown &shown)
{
    shown_.push_back(shown);
    if (onShown_)
        onShown_(shown);
}

void ScriptedPrompter::clear()
{
    shown_.clear();
    messageAnswers_.clear();
    inputAnswers_.clear();
    passwordAnswers_.clear();
    fileAnswers_.clear();
    fontAnswers_.clear();
    colorAnswers_.clear();
    unanswered_ = 0;
}

MessageAnswer ScriptedPrompter::message(const MessageRequest &request)
{
    Shown s{Shown::Kind::Message, request.caption, request.text, request.icon, request.buttons,
            FileDialogKind::Open, QString(), request.owner};
    s.beside = request.beside;
    record(s);
    if (!messageAnswers_.empty()) {
        const MessageAnswer a = messageAnswers_.front();
        messageAnswers_.pop_front();
        return a;
    }
    // A box with only OK needs no script.
    if (request.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    ++unanswered_;
    if (request.buttons == MessageButtons::AbortRetryIgnore)
        return MessageAnswer::Abort;
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
}

std::optional<QString> ScriptedPrompter::input(const InputRequest &request)
{
    record(Shown{Shown::Kind::Input, request.caption, request.prompt, MessageIcon::None,
                 MessageButtons::OkCancel, FileDialogKind::Open, QString(),
                 request.owner});
    if (inputAnswers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    // Not takeNext: copying an optional<QString> out of the queue trips a false
    // maybe-uninitialized warning in GCC.
    const bool given = inputAnswers_.front().has_value();
    const QString text = given ? *inputAnswers_.front() : QString();
    inputAnswers_.pop_front();
    if (!given)
        return std::nullopt;
    return text;
}

std::optional<QString> ScriptedPrompter::password(const PasswordRequest &request)
{
    Shown s{Shown::Kind::Password, QStringLiteral("ECO file password"), QString(), MessageIcon::None,
            MessageButtons::OkCancel, FileDialogKind::Open, QString(), request.owner};
    s.text = request.clear ? QString() : request.initial.value_or(lastPassword_);
    s.passwordMode = request.mode;
    for (;;) {
        lastPassword_ = s.text;
        record(s);
        if (auto f = std::exchange(whilePassword_, {}))
            f();
        if (passwordAnswers_.empty()) {
            ++unanswered_;
            return std::nullopt;
        }
        const bool given = passwordAnswers_.front().has_value();
        const QString text = given ? *passwordAnswers_.front() : QString();
        passwordAnswers_.pop_front();
        // An empty password cannot be confirmed: the dialog's OK stays disabled.
        if (!given || text.isEmpty())
            return std::nullopt;
        lastPassword_ = text;
        if (TOBRINPasswordDlg::PasswordBytes(text))
            return text;
        // As the dialog does: a password without bytes for the engine is refused with a
        // warning, and the dialog stays up with the entry as typed.
        ShowMessageBox(QStringLiteral("$WOBRIN"), QString::fromUtf8(TOBRINPasswordDlg::kUnusableCharacters));
        s.text = text;
    }
}

FileDialogResult ScriptedPrompter::file(const FileDialogRequest &request)
{
    record(Shown{Shown::Kind::File, request.caption, request.fileName, MessageIcon::None,
                 MessageButtons::OkCancel, request.kind, request.filter, request.owner,
                 request.folder, request.fileName, request.filterIndex});
    return takeNext(fileAnswers_, unanswered_);
}

std::optional<QFont> ScriptedPrompter::font(const FontRequest &request)
{
    Shown s{Shown::Kind::Font, request.caption, QString(), MessageIcon::None,
            MessageButtons::OkCancel, FileDialogKind::Open, QString(), request.owner};
    s.font = request.initial;
    record(s);
    return takeNext(fontAnswers_, unanswered_);
}

std::optional<QColor> ScriptedPrompter::color(const ColorRequest &request)
{
    record(Shown{Shown::Kind::Color, request.caption, QString(), MessageIcon::None,
                 MessageButtons::OkCancel, FileDialogKind::Open, QString(),
                 request.owner});
    return takeNext(colorAnswers_, unanswered_);
}

} // namespace kelpa
