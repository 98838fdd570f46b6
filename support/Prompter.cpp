#include "support/Prompter.h"

#include "support/PasswordDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScopeGuard>

#include <algorithm>

namespace kelpa {

namespace {

Prompter *installed = nullptr;
QPointer<QWidget> mainForm;

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QWidget *ownerOr(QWidget *owner)
{
    return owner ? owner : MainFormWindow();
}

// In the lower right of the widget, below its first third; under it when the widget is too
// low for that; always on the widget's screen.
void placeBeside(QWidget &box, const QWidget &text)
{
    box.adjustSize();
    const QSize size = box.size();
    const QRect area(text.mapToGlobal(QPoint(0, 0)), text.size());
    constexpr int gap = 16;
    QPoint at(area.right() - size.width() - gap, area.bottom() - size.height() - gap);
    if (at.y() < area.top() + area.height() / 3)
        at.setY(area.bottom() + gap);
    if (const QScreen *screen = text.screen()) {
        const QRect free = screen->availableGeometry();
        at.setX(std::clamp(at.x(), free.left(), std::max(free.left(), free.right() - size.width())));
        at.setY(std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() - size.height())));
    }
    box.move(at);
}

} // namespace

void SetMainForm(QWidget *form)
{
    mainForm = form;
}

QWidget *MainFormWindow()
{
    if (mainForm)
        return mainForm;
    QWidget *fallback = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup)
            continue;
        if (qobject_cast<QMainWindow *>(w))
            return w;
        if (!fallback && w->windowType() == Qt::Window)
            fallback = w;
    }
    return fallback;
}

Prompter &CurrentPrompter()
{
    static DialogPrompter dialogs;
    return installed ? *installed : dialogs;
}

Prompter *SetCurrentPrompter(Prompter *prompter)
{
    Prompter *previous = installed;
    installed = prompter;
    return previous;
}

MessageAnswer DialogPrompter::message(const MessageRequest &request)
{
    QMessageBox box(qtIcon(request.icon), request.caption, request.text, QMessageBox::NoButton,
                    ownerOr(request.owner));
    box.setWindowModality(Qt::ApplicationModal);
    // Texts name files, and a file may be called "<b>x</b>": never markup.
    box.setTextFormat(Qt::PlainText);
    switch (request.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MessageButtons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        break;
    case MessageButtons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        break;
    }
    if (request.beside && request.beside->isVisible())
        placeBeside(box, *request.beside);
    switch (box.exec()) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Retry: return MessageAnswer::Retry;
    case QMessageBox::Abort: return MessageAnswer::Abort;
    case QMessageBox::Ignore: return MessageAnswer::Ignore;
    default: break;
    }
    // Closing a yes/no box without an answer is a No; other boxes report Cancel (or Ok when
    // Ok is all they have).
    if (request.buttons == MessageButtons::YesNo)
        return MessageAnswer::No;
    if (request.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    // Abort/Retry/Ignore has no Cancel: leaving it stops what asked.
    if (request.buttons == MessageButtons::AbortRetryIgnore)
        return MessageAnswer::Abort;
    return MessageAnswer::Cancel;
}

std::optional<QString> DialogPrompter::input(const InputRequest &request)
{
    QInputDialog dialog(ownerOr(request.owner));
    dialog.setWindowTitle(request.caption);
    dialog.setLabelText(request.prompt);
    dialog.setTextEchoMode(request.password ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setTextValue(request.initial);
    dialog.setInputMethodHints(Qt::ImhNone);
    for (QLabel *label : dialog.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> DialogPrompter::password(const PasswordRequest &request)
{
    TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
    if (!dlg)
        return std::nullopt;
    // Decoding asks once: the entry takes the confirmation's place and the explanation stands
    // above it, where the two labels were.
    const QRect passwordPlace = dlg->Password->geometry();
    const QRect explanationPlace = dlg->Label3->geometry();
    const bool decode = request.mode == PasswordMode::Decode;
    if (decode) {
        const QRect labelPlace = dlg->Label1->geometry();
        const QRect confirmationPlace = dlg->PasswordChk->geometry();
        dlg->Password->setGeometry(confirmationPlace);
        dlg->Label3->setGeometry(labelPlace.left(), labelPlace.top(), labelPlace.width(),
                                 confirmationPlace.top() - labelPlace.top() - 4);
        dlg->setDecodeMode();
        dlg->Label1->hide();
    } else {
        dlg->setEncodeMode();
    }
    // Encode is the dialog's resting mode.
    const auto restore = qScopeGuard([&] {
        dlg->setEncodeMode();
        if (decode) {
            dlg->Label1->show();
            dlg->Password->setGeometry(passwordPlace);
            dlg->Label3->setGeometry(explanationPlace);
        }
    });
    if (request.initial) {
        dlg->Password->setText(*request.initial);
        dlg->PasswordChk->setText(*request.initial);
    } else if (!decode) {
        // What was typed last, also when it was typed to decode, is offered in both entries.
        dlg->PasswordChk->setText(dlg->Password->text());
    }
    dlg->setClearOnShow(request.clear);
    if (dlg->ShowModal() != 1)
        return std::nullopt;
    return dlg->password();
}

FileDialogResult DialogPrompter::file(const FileDialogRequest &request)
{
    QFileDialog dialog(ownerOr(request.owner), request.caption, request.folder, request.filter);
    switch (request.kind) {
    case FileDialogKind::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case FileDialogKind::OpenMany:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case FileDialogKind::Save:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        if (!request.confirmOverwrite)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        break;
    case FileDialogKind::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    const QStringList filters = dialog.nameFilters();
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;
    result.accepted = true;
    result.files = dialog.selectedFiles();
    const int index = filters.indexOf(dialog.selectedNameFilter());
    result.filterIndex = index >= 0 ? index + 1 : 1;
    return result;
}

std::optional<QFont> DialogPrompter::font(const FontRequest &request)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, request.initial, ownerOr(request.owner),
                                         request.caption);
    if (!ok)
        return std::nullopt;
    return f;
}

std::optional<QColor> DialogPrompter::color(const ColorRequest &request)
{
    const QColor c = QColorDialog::getColor(request.initial, ownerOr(request.owner), request.caption);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

} // namespace kelpa
