#pragma once
// The one door through which the programs talk to the user: message boxes, questions, input
// boxes, the password dialog, file, font and colour dialogs. The programs never open these
// themselves; they ask the current prompter. The real prompter shows the dialogs; tests install
// a ScriptedPrompter (tests/common/ScriptedPrompter.h) that records what would have been shown
// and answers from a queue.
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace kelpa {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MessageAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct MessageRequest {
    QString caption{};
    QString text{};
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QWidget *owner = nullptr;   // null: the application's main window
    // A question about this widget's text: the box stands where the text's first lines stay in
    // view (null: centred on its owner).
    QWidget *beside = nullptr;
};

struct InputRequest {
    QString caption{};
    QString prompt{};
    QString initial{};
    bool password = false;      // echo as "*"
    QWidget *owner = nullptr;
};

// The password dialog: Decode asks once with its explanation, Encode twice until both match.
enum class PasswordMode { Decode, Encode };

struct PasswordRequest {
    PasswordMode mode = PasswordMode::Decode;
    // What both entries hold when the dialog shows: a text, or (none) what was typed last, which
    // offers the common password again.
    std::optional<QString> initial{};
    bool clear = false;         // both entries start empty (wins over initial)
    QWidget *owner = nullptr;
};

enum class FileDialogKind { Open, OpenMany, Save, Folder };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString caption{};
    QString folder{};             // initial folder
    QString fileName{};           // initial file name
    QString filter{};             // Qt form: "Text files (*.txt);;All files (*)"
    int filterIndex = 1;        // 1-based, as the class library counts
    QString defaultSuffix{};      // appended by a save dialog to a name without extension
    bool confirmOverwrite = false;
    QWidget *owner = nullptr;
};

struct FileDialogResult {
    bool accepted = false;
    QStringList files{};          // one name except for OpenMany
    int filterIndex = 1;        // 1-based index of the filter in use when accepted
    QString file() const { return files.isEmpty() ? QString() : files.first(); }
};

struct FontRequest {
    QString caption{};
    QFont initial{};
    QWidget *owner = nullptr;
};

struct ColorRequest {
    QString caption{};
    QColor initial{};
    QWidget *owner = nullptr;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MessageAnswer message(const MessageRequest &request) = 0;
    virtual std::optional<QString> input(const InputRequest &request) = 0;
    // The password typed and confirmed with OK; none after Cancel.
    virtual std::optional<QString> password(const PasswordRequest &request) = 0;
    virtual FileDialogResult file(const FileDialogRequest &request) = 0;
    virtual std::optional<QFont> font(const FontRequest &request) = 0;
    virtual std::optional<QColor> color(const ColorRequest &request) = 0;
};

// Qt's own dialogs, and the program's password dialog (TOBRINPasswordDlg::instance(); without
// one, every password request is cancelled).
class DialogPrompter : public Prompter {
public:
    MessageAnswer message(const MessageRequest &request) override;
    std::optional<QString> input(const InputRequest &request) override;
    std::optional<QString> password(const PasswordRequest &request) override;
    FileDialogResult file(const FileDialogRequest &request) override;
    std::optional<QFont> font(const FontRequest &request) override;
    std::optional<QColor> color(const ColorRequest &request) override;
};

// The process-wide prompter: a DialogPrompter unless one was installed.
Prompter &CurrentPrompter();
// Installs `prompter` (not owned; null puts the dialog prompter back); returns the previous one.
Prompter *SetCurrentPrompter(Prompter *prompter);

// Installs a prompter for the lifetime of the object.
class ScopedPrompter {
public:
    explicit ScopedPrompter(Prompter &prompter) : previous_(SetCurrentPrompter(&prompter)) {}
    ~ScopedPrompter() { SetCurrentPrompter(previous_); }
    ScopedPrompter(const ScopedPrompter &) = delete;
    ScopedPrompter &operator=(const ScopedPrompter &) = delete;

private:
    Prompter *previous_;
};

// The window a box without owner belongs to: the main form set with SetMainForm, else the first
// visible top-level main window, or null.
QWidget *MainFormWindow();
// Names the program's main form (the class library's Application.MainForm); null clears it.
void SetMainForm(QWidget *form);

} // namespace kelpa
