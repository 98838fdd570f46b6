#include "support/ScriptedPrompter.h"

namespace kelpa {

std::vector<ScriptedPrompter::Shown> ScriptedPrompter::messages() const
{
    std::vector<Shown> out;
    for (const Shown &s : shown_)
        if (s.kind == Shown::Kind::Message)
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
    fileAnswers_.clear();
    fontAnswers_.clear();
    colorAnswers_.clear();
    unanswered_ = 0;
}

MessageAnswer ScriptedPrompter::message(const MessageRequest &request)
{
    Shown s{Shown::Kind::Message, request.caption, request.text, request.icon, request.buttons,
            FileDialogKind::Open, QString(), request.owner};
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
    const bool given = inputAnswers_.front().has_value();
    const QString text = given ? *inputAnswers_.front() : QString();
    inputAnswers_.pop_front();
    if (!given)
        return std::nullopt;
    return text;
}

FileDialogResult ScriptedPrompter::file(const FileDialogRequest &request)
{
    record(Shown{Shown::Kind::File, request.caption, request.fileName, MessageIcon::None,
                 MessageButtons::OkCancel, request.kind, request.filter, request.owner,
                 request.folder, request.fileName, request.filterIndex});
    if (fileAnswers_.empty()) {
        ++unanswered_;
        return {};
    }
    auto a = fileAnswers_.front();
    fileAnswers_.pop_front();
    return a;
}

std::optional<QFont> ScriptedPrompter::font(const FontRequest &request)
{
    record(Shown{Shown::Kind::Font, request.caption, QString(), MessageIcon::None,
                 MessageButtons::OkCancel, FileDialogKind::Open, QString(),
                 request.owner});
    if (fontAnswers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    auto a = fontAnswers_.front();
    fontAnswers_.pop_front();
    return a;
}

std::optional<QColor> ScriptedPrompter::color(const ColorRequest &request)
{
    record(Shown{Shown::Kind::Color, request.caption, QString(), MessageIcon::None,
                 MessageButtons::OkCancel, FileDialogKind::Open, QString(),
                 request.owner});
    if (colorAnswers_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    auto a = colorAnswers_.front();
    colorAnswers_.pop_front();
    return a;
}

} // namespace kelpa
