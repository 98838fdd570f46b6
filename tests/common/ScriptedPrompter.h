#pragma once
// A prompter for tests: records every request and answers from queues. A request with no
// queued answer is answered as if the user cancelled (No for yes/no questions, Cancel where
// there is one, Abort for Abort/Retry/Ignore, Ok for a box with only Ok) and counted in
// unanswered().
#include "support/Prompter.h"

#include <deque>
#include <functional>
#include <vector>

namespace kelpa {

class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        enum class Kind { Message, Input, File, Font, Color, Password } kind;
        QString caption;
        QString text;                  // message text, input prompt
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
        FileDialogKind fileKind = FileDialogKind::Open;
        QString filter;
        QWidget *owner = nullptr;
        // How a file dialog starts: its folder, file name (also in text) and filter.
        QString folder{};
        QString fileName{};
        int filterIndex = 0;
        // A password dialog: its mode; `text` holds what its entries show.
        PasswordMode passwordMode = PasswordMode::Decode;
        // A font dialog: the font it opens on.
        QFont font{};
        // A message about a widget's text (MessageRequest::beside).
        QWidget *beside = nullptr;
    };

    void answer(MessageAnswer a) { messageAnswers_.push_back(a); }
    void answerInput(std::optional<QString> text) { inputAnswers_.push_back(std::move(text)); }
    // A password typed into both entries and OK; none: Cancel.
    void answerPassword(std::optional<QString> password) { passwordAnswers_.push_back(std::move(password)); }
    void answerFile(FileDialogResult result) { fileAnswers_.push_back(std::move(result)); }
    void answerFile(const QString &fileName, int filterIndex = 1)
    {
        answerFile(FileDialogResult{true, {fileName}, filterIndex});
    }
    void answerFont(std::optional<QFont> f) { fontAnswers_.push_back(std::move(f)); }
    void answerColor(std::optional<QColor> c) { colorAnswers_.push_back(std::move(c)); }
    // Runs for every request once it is recorded and before it is answered, as events that
    // arrive while a real dialog is up would run.
    void onShown(std::function<void(const Shown &)> f) { onShown_ = std::move(f); }
    // Runs once, at the next password prompt, before it is answered.
    void whileNextPasswordShown(std::function<void()> f) { whilePassword_ = std::move(f); }

    const std::vector<Shown> &shown() const { return shown_; }
    // Password dialogs only, in order.
    std::vector<Shown> passwordPrompts() const;
    const Shown &last() const { return shown_.back(); }
    // Messages only (captions and texts), in order.
    std::vector<Shown> messages() const;
    int unanswered() const { return unanswered_; }
    void clear();

    MessageAnswer message(const MessageRequest &request) override;
    std::optional<QString> input(const InputRequest &request) override;
    std::optional<QString> password(const PasswordRequest &request) override;
    FileDialogResult file(const FileDialogRequest &request) override;
    std::optional<QFont> font(const FontRequest &request) override;
    std::optional<QColor> color(const ColorRequest &request) override;

private:
    std::vector<Shown> shown_;
    std::deque<MessageAnswer> messageAnswers_;
    std::deque<std::optional<QString>> inputAnswers_;
    std::deque<std::optional<QString>> passwordAnswers_;
    // The entries keep what was typed last, as the one dialog of a program does.
    QString lastPassword_;
    std::deque<FileDialogResult> fileAnswers_;
    std::deque<std::optional<QFont>> fontAnswers_;
    std::deque<std::optional<QColor>> colorAnswers_;
    int unanswered_ = 0;
    std::function<void(const Shown &)> onShown_;
    std::function<void()> whilePassword_;
    void record(const Shown &shown);
};

} // namespace kelpa
