// The documents' commands: opening a page in its kind, saving it, Save As, closing pages with
// the question about unsaved changes, and the passwords.
#include "editor/DocumentCommands.h"

#include "editor/ActionHelpers.h"
#include "editor/AppIcon.h"
#include "editor/EditorMenus.h"
#include "editor/PageSet.h"
#include "editor/SaveAsRules.h"
#include "editor/Settings.h"
#include "editor/TForm1.h"

#include "engine/TOBRINEngine.h"
#include "richedit/TRichEdit.h"
#include "richedit/rtf/RtfDocument.h"
#include "support/Abort.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "support/ScopeGuard.h"
#include "support/documents/Documents.h"
#include "widgets/Kpmenus.h"

#include <QActionGroup>
#include <QBoxLayout>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>


namespace kelpa::editor {

namespace {

constexpr int kAutoWrapLineLimit = 200;
constexpr int kAutoWrapLineLength = 110;

// How an open reports an engine failure.
QString openFailureText(const QString &path, const documents::DocumentError &error)
{
    return QStringLiteral("File ") + path + QStringLiteral(" (E") + QString::number(error.engineCode)
         + QStringLiteral(") ") + error.engineText();
}

bool isEncryptedKind(PageKind kind) { return kind == PageKind::Encrypted || kind == PageKind::Legacy; }

} // namespace

DocumentCommands::DocumentCommands(TForm1 &form, PageSet &pages, const EditorMenus &menus, KelpaSettings &settings)
    : QObject(&form), form_(form), pageSet_(pages), table_(pages.table()), settings_(settings),
      PageControl1(form.pageControl()), toolBar_(menus.toolBar),
      lineLength_([](TRichEdit *editor, int line) { return editor->LineLength(line); })
{
    QMenu *file = menus.File1;
    New1 = makeAction(this, "New1", QStringLiteral("&New..."), QKeySequence(Qt::CTRL | Qt::Key_N),
                      QStringLiteral("Creates a new document"));
    Open1 = makeAction(this, "Open1", QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O),
                       QStringLiteral("Opens an existing document"));
    Save1 = makeAction(this, "Save1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                       QStringLiteral("Saves the current document"));
    Saveas1 = makeAction(this, "Saveas1", QStringLiteral("Sa&ve As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                         QStringLiteral("Saves the current document with a new name or kind"));
    SaveAll1 = makeAction(this, "SaveAll1", QStringLiteral("Save &All"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V),
                          QStringLiteral("Saves every modified document"));
    Close1 = makeAction(this, "Close1", QStringLiteral("&Close"), QKeySequence(Qt::CTRL | Qt::Key_F4),
                        QStringLiteral("Closes the current document"));
    Closeall1 = makeAction(this, "Closeall1", QStringLiteral("C&lose All"), {}, QStringLiteral("Closes every document"));

    bind(New1, [this] { NewButtonClick(); });
    bind(Open1, [this] { OpenButtonClick(); });
    bind(Save1, [this] { SaveButtonClick(); });
    bind(Saveas1, [this] { Saveas1Click(); });
    bind(SaveAll1, [this] { SaveAll1Click(); });
    bind(Close1, [this] { Close1Click(); });
    bind(Closeall1, [this] { Closeall1Click(); });

    file->addAction(New1);
    file->addAction(Open1);
    file->addSeparator();
    file->addMenu(menus.Reopen1);
    file->addSeparator();
    file->addAction(Save1);
    file->addAction(Saveas1);
    file->addAction(SaveAll1);
    file->addSeparator();
    file->addAction(Close1);
    file->addAction(Closeall1);

    // The page menu's first item.
    Closepage1 = makeAction(this, "Closepage1", QStringLiteral("Cl&ose page"));
    bind(Closepage1, [this] { Close1Click(); });
    menus.PopupMenu1->addAction(Closepage1);

    // The pop-up of "New...": one item per kind of untitled page.
    PopupMenu2 = new QMenu(&form);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PlainText1 = makeAction(this, "PlainText1", QStringLiteral("Plain Text"));
    RichText1 = makeAction(this, "RichText1", QStringLiteral("Rich Text"));
    EncryptedText1 = makeAction(this, "EncryptedText1", QStringLiteral("Encrypted Text"));
    bind(PlainText1, [this] { NewPage(NewPageKind::Plain); });
    bind(RichText1, [this] { NewPage(NewPageKind::Rich); });
    bind(EncryptedText1, [this] { NewPage(NewPageKind::Encrypted); });
    PopupMenu2->addAction(PlainText1);
    PopupMenu2->addAction(RichText1);
    PopupMenu2->addAction(EncryptedText1);
}

void DocumentCommands::addPreferences(QMenu *prefs)
{
    QMenu *encryption = prefs->addMenu(QStringLiteral("&Encryption"));
    encryption->setObjectName(QStringLiteral("Encryption1"));
    EC41 = makeAction(this, "EC41", QStringLiteral("EC4"), {}, QStringLiteral("256 bit - polymorphic"));
    Blowfish1 = makeAction(this, "Blowfish1", QStringLiteral("Blowfish"), {},
                           QStringLiteral("Encrypted documents are saved with Blowfish"));
    EC41->setCheckable(true);
    Blowfish1->setCheckable(true);
    auto *ciphers = new QActionGroup(this);
    ciphers->addAction(EC41);
    ciphers->addAction(Blowfish1);
    Blowfish1->setChecked(true);
    Usecommonpassword1 = makeAction(this, "Usecommonpassword1", QStringLiteral("Common password"), {},
                                    QStringLiteral("One password for every encrypted document of this session"));
    Usecommonpassword1->setCheckable(true);
    Usecommonpassword1->setChecked(true);
    Changepassword1 = makeAction(this, "Changepassword1", QStringLiteral("&Change..."), {},
                                 QStringLiteral("Sets a new password for the current document"));
    bind(Usecommonpassword1, [this] {
        // The item's own toggle already ran; the handler toggles it again itself.
        Usecommonpassword1->setChecked(!Usecommonpassword1->isChecked());
        Usecommonpassword1Click();
    });
    bind(Changepassword1, [this] { Changepassword1Click(); });
    encryption->addAction(EC41);
    encryption->addAction(Blowfish1);
    encryption->addSeparator();
    encryption->addAction(Usecommonpassword1);
    encryption->addAction(Changepassword1);

    QMenu *wrap = prefs->addMenu(QStringLiteral("&Word Wrap"));
    wrap->setObjectName(QStringLiteral("WordWrap1"));
    Wraptext1 = makeAction(this, "Wraptext1", QStringLiteral("&Word Wrap"), QKeySequence(Qt::CTRL | Qt::Key_W),
                           QStringLiteral("Wraps the lines of the current document"));
    Wraptext1->setCheckable(true);
    bind(Wraptext1, [this] { Wraptext1Click(); });
    Automatic1 = makeAction(this, "Automatic1", QStringLiteral("&Automatic"), {},
                            QStringLiteral("Wraps plain documents with long lines when they are opened"));
    Automatic1->setCheckable(true);
    Automatic1->setChecked(true);
    wrap->addAction(Wraptext1);
    wrap->addAction(Automatic1);
}

void DocumentCommands::addToolButtons(QBoxLayout *row)
{
    const QStyle *style = form_.style();
    auto button = [&](const char *name, const QIcon &icon, const QString &hint, auto command) {
        return makeToolButton(row, toolBar_, name, icon, hint, command);
    };
    button("NewButton", themedIcon("document-new", style->standardIcon(QStyle::SP_FileIcon)), QStringLiteral("New document"),
           [this] { NewButtonClick(); });
    button("OpenButton", themedIcon("document-open", style->standardIcon(QStyle::SP_DialogOpenButton)),
           QStringLiteral("Open document"), [this] { OpenButtonClick(); });
    SaveButton = button("SaveButton", themedIcon("document-save", style->standardIcon(QStyle::SP_DialogSaveButton)),
                        QStringLiteral("Save document"), [this] { SaveButtonClick(); });
    PasswordButton = button("PasswordButton", passwordIcon(), QStringLiteral("Change password"),
                            [this] { Changepassword1Click(); });
}

void DocumentCommands::applySettings()
{
    Automatic1->setChecked(settings_.autoWrap);
    (settings_.encEC4 ? EC41 : Blowfish1)->setChecked(true);
    if (!settings_.commonPassword)
        Usecommonpassword1Click();
}

void DocumentCommands::collectSettings()
{
    settings_.autoWrap = Automatic1->isChecked();
    settings_.commonPassword = Usecommonpassword1->isChecked();
    settings_.encEC4 = EC41->isChecked();
}

void DocumentCommands::updateActionState(bool open)
{
    for (QAction *a : {Wraptext1, Save1, Saveas1, SaveAll1, Close1, Closeall1})
        a->setEnabled(open);
    Changepassword1->setEnabled(open && changePasswordAllowed_);
    PasswordButton->setEnabled(open);
    TRichEdit *editor = form_.currentEditor();
    SaveButton->setEnabled(editor && editor->Modified() && form_.isVisible());
}

void DocumentCommands::pageShown(const PageRecord &page)
{
    if (!page.isUntitled())
        shownFolder_ = folderPart(page.FileName);
    Wraptext1->setChecked(page.Editor->WordWrap());
}

// ---------------------------------------------------------------------------------------------
// Pages

bool DocumentCommands::CheckNotAlreadyLoaded(const QString &path)
{
    const int slot = table_.findLoaded(path);
    if (slot < 0)
        return true;
    PageControl1->setCurrentWidget(table_[slot].Sheet);
    table_.CurrentPage = slot;
    ShowMessage(QStringLiteral("\"") + path + QStringLiteral("\"\nFile already loaded"));
    return false;
}

void DocumentCommands::CloseEmptyUntitledPage(const QString &path)
{
    TRichEdit *editor = form_.currentEditor();
    if (editor && editor->TextLength() == 0 && table_[table_.CurrentPage].isUntitled() && !isUntitledName(path))
        ClosePage(table_.CurrentPage);
}

void DocumentCommands::NewPage(NewPageKind kind) { OpenDocument(table_.nextUntitledName(kind), false, QString()); }

void DocumentCommands::NewButtonClick()
{
    const QPoint at = QCursor::pos();
    PopupMenu2->popup(at);
}

void DocumentCommands::Close1Click()
{
    if (table_.CurrentPage >= 0)
        ClosePage(table_.CurrentPage);
}

void DocumentCommands::Usecommonpassword1Click()
{
    changePasswordAllowed_ = Usecommonpassword1->isChecked();
    Usecommonpassword1->setChecked(!Usecommonpassword1->isChecked());
    updateActionState(table_.openCount() > 0);
}

void DocumentCommands::Wraptext1Click()
{
    TRichEdit *editor = form_.currentEditor();
    if (!editor)
        return;
    const int caret = editor->SelStart();
    const bool wrap = !editor->WordWrap();
    editor->SetWordWrap(wrap);
    Wraptext1->setChecked(wrap);
    editor->SetScrollBars(wrap ? TScrollStyle::Vertical : TScrollStyle::Both);
    form_.setPanel(2, wrap ? QStringLiteral("W") : QString());
    form_.SetEditorMargins();
    editor->SetSelStart(caret);
}

void DocumentCommands::askPendingTextChecksLater()
{
    // Once the window and its pages are on screen.
    if (!textChecksPending_.empty())
        QTimer::singleShot(0, this, [this] { RunGuarded([this] { askPendingTextChecks(); }); });
}

// ---------------------------------------------------------------------------------------------
// Opening

namespace {

// A pipe or a device is neither opened nor waited on.
QString notAFileText(const QString &path)
{
    return QStringLiteral("\"") + path + QStringLiteral("\" is not a file but a pipe, a device or a socket, and cannot be opened.");
}

} // namespace

int DocumentCommands::OpenDocument(const QString &path, bool addToRecent, const QString &password)
{
    return openDocument(path, addToRecent, password, false);
}

int DocumentCommands::openDocument(const QString &path, bool addToRecent, const QString &password, bool justWritten)
{
    const TForm1::Operation operation(form_);
    if (path.isEmpty() || !CheckNotAlreadyLoaded(path))
        return -1;
    const int slot = table_.FindFreePage();
    if (slot < 0) {
        ShowMessage(QStringLiteral("No more pages available (max.= 16)"));
        return -1;
    }
    const QPointer<QWidget> previousSheet = form_.currentEditor() ? table_[table_.CurrentPage].Sheet : nullptr;
    CloseEmptyUntitledPage(path);
    form_.AllocatePage(slot);
    ConfigurePageEditor(slot, path);

    ReadOutcome outcome = ReadOutcome::Read;
    if (isUntitledName(path)) {
        if (isBatchName(path)) {
            // Batches run in the shell: a shell comment (a new page's lines end in LF).
            table_[slot].Editor->SetText(QStringLiteral("# Standard .BAT ready. Please read the help for more info"));
        }
        table_[slot].Password.clear();
    } else {
        table_[slot].Editor->SetReadOnly(false);
        outcome = isEncryptedName(path) ? readEncryptedDocument(slot, path, password) : readTextFile(slot, path);
    }
    if (outcome == ReadOutcome::Failed) {
        releaseFailedPage(slot, previousSheet);
        return -1;
    }
    // A document written a moment ago with this password holds the page's own text.
    if (justWritten && outcome == ReadOutcome::PasswordUnchecked)
        outcome = ReadOutcome::Read;
    showOpenedPage(slot, path, addToRecent);
    if (outcome != ReadOutcome::Read)
        markPasswordUnconfirmed(slot, outcome == ReadOutcome::PasswordWrong);
    emit form_.documentStateChanged();
    return slot;
}

DocumentCommands::ReadOutcome DocumentCommands::readTextFile(int slot, const QString &path)
{
    const documents::ReadResult file = pageSet_.read(slot, path, QString());
    if (!file.ok() && file.error.failure == documents::Failure::NotAFile) {
        ShowMessageBox(QStringLiteral("$EError"), notAFileText(path));
        return ReadOutcome::Failed;
    }
    if (!file.ok()) {
        ShowErrorBox(path, file.error.systemError);
        return ReadOutcome::Failed;
    }
    CheckAutoWrap(slot);
    return ReadOutcome::Read;
}

DocumentCommands::ReadOutcome DocumentCommands::readEncryptedDocument(int slot, const QString &path, const QString &password)
{
    const QString pwd = password.isEmpty() ? AskPassword() : password;
    if (pwd.isEmpty())
        return ReadOutcome::Failed;
    const documents::ReadResult doc = pageSet_.read(slot, path, pwd);
    if (!doc.ok() && doc.error.failure == documents::Failure::NotAFile) {
        ShowMessageBox(QStringLiteral("$EError"), notAFileText(path));
        return ReadOutcome::Failed;
    }
    if (!doc.ok()) {
        ShowErrorBox(openFailureText(path, doc.error), doc.error.systemError);
        return ReadOutcome::Failed;
    }
    return passwordOutcome(doc.password);
}

DocumentCommands::ReadOutcome DocumentCommands::passwordOutcome(documents::PasswordCheck check)
{
    switch (check) {
    case documents::PasswordCheck::Confirmed:
        return ReadOutcome::Read;
    case documents::PasswordCheck::Unchecked:
        return ReadOutcome::PasswordUnchecked;
    case documents::PasswordCheck::Wrong:
        break;
    }
    return ReadOutcome::PasswordWrong;
}

void DocumentCommands::releaseFailedPage(int slot, const QPointer<QWidget> &previousSheet)
{
    // Nothing half open stays behind: the slot is released at once, unasked.
    table_[slot].Editor->SetModified(false);
    table_[slot].FileName = QStringLiteral("*failed");
    ClosePage(slot);
    if (previousSheet && PageControl1->indexOf(previousSheet) >= 0) {
        PageControl1->setCurrentWidget(previousSheet);
        form_.PageControl1Change();
    }
}

// Saving over a file whose notes and margins the page cannot show drops them: the user is told
// when it opens.
QString DocumentCommands::loadedText(const QString &path, unsigned omitted)
{
    QString text = QStringLiteral("\"") + path + QStringLiteral("\" has been loaded");
    if (omitted == 0)
        return text;
    QStringList parts;
    const std::pair<unsigned, const char *> names[] = {{kelpa::rtf::Omitted::Headers, "headers"},
                                                       {kelpa::rtf::Omitted::Footers, "footers"},
                                                       {kelpa::rtf::Omitted::Footnotes, "footnotes"},
                                                       {kelpa::rtf::Omitted::Comments, "comments"}};
    for (const auto &[flag, name] : names)
        if (omitted & flag)
            parts << QString::fromLatin1(name);
    QString list = parts.takeLast();
    if (!parts.isEmpty())
        list = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + list;
    return text + QStringLiteral(" without its ") + list + QStringLiteral(", which this page cannot hold; saving over it leaves them out");
}

void DocumentCommands::showOpenedPage(int slot, const QString &path, bool addToRecent)
{
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;
    {
        const TForm1::UpdatingScope updating(form_);
        pageSet_.opened(slot, path);
        PageControl1->addTab(page.Sheet, EscapeMenuCaption(fileNamePart(path)));
        PageControl1->setTabToolTip(PageControl1->indexOf(page.Sheet), path);
        PageControl1->setCurrentWidget(page.Sheet);
        table_.CurrentPage = slot;
    }
    editor->SetModified(false);
    if (table_.openCount() == 1)
        changePasswordAllowed_ = true;
    form_.EnableDocumentCommands();
    if (!isUntitledName(path) && addToRecent)
        emit recentFile(path);
    if (form_.activated() && PageControl1->isEnabled()) {
        form_.setPanel(1, page.InsertMode == 1 ? QStringLiteral("Ins") : QStringLiteral("Ovr"));
        editor->setFocus();
    }
    form_.SetEditorMargins();
    if (form_.activated()) {
        form_.PageControl1Change();
        form_.setPanel(3, loadedText(page.FileName, editor->OmittedParts()));
        emit formatMayHaveChanged();
    }
}

void DocumentCommands::markPasswordUnconfirmed(int slot, bool knownWrong)
{
    PageRecord &page = table_[slot];
    page.PasswordUnconfirmed = true;
    page.Editor->SetReadOnly(true);
    form_.setPanel(3, readOnlyPageText());
    if (knownWrong)
        return;
    // Only the text can tell whether the password was right: the question waits until the
    // window can show it.
    if (!form_.activated()) {
        textChecksPending_.push_back(page.Sheet);
        return;
    }
    askTextCorrect(slot);
}

void DocumentCommands::askTextCorrect(int slot)
{
    PageRecord &page = table_[slot];
    if (PageControl1->indexOf(page.Sheet) >= 0) {
        PageControl1->setCurrentWidget(page.Sheet);
        table_.CurrentPage = slot;
    }
    form_.raise();
    MessageRequest question;
    question.caption = QStringLiteral("Please Confirm");
    question.text = QStringLiteral("\"") + page.FileName
                    + QStringLiteral("\": the password of this document cannot be checked.\n"
                                     "If the text shown is wrong, so was the password, and saving would "
                                     "destroy the document.\nIs the text correct?");
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    question.owner = &form_;
    question.beside = page.Editor;
    if (CurrentPrompter().message(question) != MessageAnswer::Yes)
        return;
    page.PasswordUnconfirmed = false;
    page.Editor->SetReadOnly(false);
    form_.setPanel(3, loadedText(page.FileName, page.Editor->OmittedParts()));
}

void DocumentCommands::askPendingTextChecks()
{
    // A document handed over while the question is up waits for the answer.
    const TForm1::Operation operation(form_);
    const std::vector<QPointer<QWidget>> pending = std::move(textChecksPending_);
    textChecksPending_.clear();
    for (const QPointer<QWidget> &sheet : pending)
        for (int slot = 0; slot < kPageCount; ++slot)
            if (sheet && table_[slot].Sheet == sheet && !table_[slot].isFree() && table_[slot].PasswordUnconfirmed)
                askTextCorrect(slot);
}

QString DocumentCommands::readOnlyPageText()
{
    return QStringLiteral("Read-only: enter the password again with Preferences > Encryption > Change...");
}

void DocumentCommands::ConfigurePageEditor(int slot, const QString &path)
{
    const TForm1::UpdatingScope updating(form_);
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;
    editor->Clear();
    editor->SetSelStart(0);
    const bool rich = opensAsRich(path);
    editor->SetWordWrap(rich);
    editor->SetScrollBars(rich ? TScrollStyle::Vertical : TScrollStyle::Both);
    if (form_.activated())
        form_.setPanel(2, rich ? QStringLiteral("W") : QString());
    Wraptext1->setChecked(rich);
    if (rich) {
        editor->SetPlainText(false);
        page.Kind = PageKind::Rich;
        emit pageKindChosen(true);
        editor->setFont(form_.defaultFont());
        editor->DefAttributes().SetName(settings_.defaultFontName);
        editor->DefAttributes().SetSize(form_.defaultFont().pointSize());
    } else {
        QFont font = form_.defaultFont();
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        editor->setFont(font);
        page.Kind = PageKind::Plain;
        editor->SetPlainText(true);
        emit pageKindChosen(false);
    }
    editor->SetSelLength(0);
}

void DocumentCommands::CheckAutoWrap(int slot)
{
    TRichEdit *editor = table_[slot].Editor;
    if (!editor || table_[slot].Kind != PageKind::Plain || !Automatic1->isChecked())
        return;
    // No command may start while the lines are looked at; a failure is told and the open goes on.
    form_.setEnabled(false);
    const ScopeGuard enable([this] { form_.setEnabled(true); });
    try {
        const int count = editor->Lines().Count();
        if (count >= kAutoWrapLineLimit)
            return;
        // The progress would advance every 300 lines; fewer than 200 never get past the first step.
        form_.setPanel(3, QStringLiteral("AutoWrap checking: 0%"));
        for (int i = 0; i < count; ++i) {
            if (lineLength_(editor, i) > kAutoWrapLineLength) {
                editor->SetWordWrap(true);
                editor->SetScrollBars(TScrollStyle::Vertical);
                if (form_.activated())
                    form_.setPanel(2, QStringLiteral("W"));
                Wraptext1->setChecked(true);
                editor->SetModified(false);
                break;
            }
        }
        form_.setPanel(3, QString());
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while checking for AutoWrap"));
    }
}

QString DocumentCommands::AskPassword()
{
    PasswordRequest request;
    request.mode = PasswordMode::Decode;
    request.clear = !Usecommonpassword1->isChecked();
    request.owner = &form_;
    return CurrentPrompter().password(request).value_or(QString());
}

void DocumentCommands::OpenButtonClick()
{
    const TForm1::Operation operation(form_);
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.caption = QStringLiteral("Open");
    const QString recent = settings_.prevLoaded[0];
    request.folder = recent == kEmptyRecent ? QString() : folderPart(recent);
    request.filter = QStringLiteral("Text files (*.txt *.TXT *.rtf *.RTF *.eco *.ECO *.doc *.DOC *.wri *.WRI *.bat *.BAT);;"
                                    "Encrypted and COmpressed text files (*.eco) (*.eco *.ECO);;"
                                    "Rich Text Files (*.rtf,*.doc,*.wri,*...) (*.rtf *.RTF *.doc *.DOC *.wri *.WRI);;"
                                    "Plain text files (*.txt) (*.txt *.TXT);;"
                                    "Batch files (*.bat) (*.bat *.BAT);;"
                                    "All files (*.*) (*)");
    request.owner = &form_;
    const FileDialogResult result = CurrentPrompter().file(request);
    if (result.accepted && !result.file().isEmpty())
        OpenDocument(result.file(), true, QString());
}

void DocumentCommands::WMDropFiles(const QStringList &files)
{
    const TForm1::Operation operation(form_);
    // Each file in turn; a failure of one does not stop the others.
    for (const QString &file : files)
        RunGuarded([&] { OpenDocument(file, true, QString()); });
}

void DocumentCommands::Changepassword1Click()
{
    const TForm1::Operation operation(form_);
    if (!form_.currentEditor())
        return;
    const int slot = table_.CurrentPage;
    PageRecord &page = table_[slot];
    if (page.PasswordUnconfirmed) {
        reenterPassword(slot);
        return;
    }
    PasswordRequest request;
    request.mode = PasswordMode::Encode;
    request.initial = page.Password;
    request.clear = !Usecommonpassword1->isChecked();
    request.owner = &form_;
    if (const std::optional<QString> password = CurrentPrompter().password(request)) {
        page.Password = *password;
        page.Editor->SetModified(true);
        form_.RichEdit1Change();
    }
}

void DocumentCommands::reenterPassword(int slot)
{
    // The document is read again with the password now given.
    PageRecord &page = table_[slot];
    const QString pwd = AskPassword();
    if (pwd.isEmpty())
        return;
    const documents::ReadResult doc = pageSet_.reread(slot, pwd);
    if (!doc.ok()) {
        ShowErrorBox(openFailureText(page.FileName, doc.error), doc.error.systemError);
        return;
    }
    if (const ReadOutcome outcome = passwordOutcome(doc.password); outcome != ReadOutcome::Read)
        markPasswordUnconfirmed(slot, outcome == ReadOutcome::PasswordWrong);
}

// ---------------------------------------------------------------------------------------------
// Saving

bool DocumentCommands::SavePage(int slot) { return savePage(slot).saved; }

DocumentCommands::SaveOutcome DocumentCommands::savePage(int slot)
{
    const TForm1::Operation operation(form_);
    PageRecord &page = table_[slot];
    if (page.isFree() || !page.Editor || page.Editor->ReadOnly())
        return {};
    const QString path = page.FileName;
    checkSaveTarget(slot);
    if (documents::isReadOnlyFile(path)
        && !ConfirmYesNo(QStringLiteral("\"") + path
                             + QStringLiteral("\" is a read-only file.\nThis program can save it all the same (by "
                                              "removing temporaneously the read-only attribute). Proceed?"),
                         &form_))
        throw Abort();
    // The new file takes the old one's permission bits, so the read-only attribute is kept
    // whatever happens below.
    SaveOutcome outcome{true, false};
    if (isEncryptedKind(page.Kind))
        writeEncryptedPage(slot);
    else
        outcome.movedToUtf8 = writeTextPage(slot);
    PageControl1->setTabText(PageControl1->indexOf(page.Sheet), EscapeMenuCaption(fileNamePart(path)));
    PageControl1->setTabToolTip(PageControl1->indexOf(page.Sheet), path);
    emit recentFile(path);
    form_.setPanel(3, savedText(path, outcome.movedToUtf8));
    pageSet_.saved(slot);
    reportLeftCopies();
    return outcome;
}

void DocumentCommands::checkSaveTarget(int slot)
{
    const QString path = table_[slot].FileName;
    const QString quoted = QStringLiteral("\"") + path + QStringLiteral("\"");
    switch (documents::saveRefusal(path)) {
    case documents::Failure::UntrustedLink:
        ShowMessageBox(QStringLiteral("$ECannot save the file"),
                       quoted + QStringLiteral(" is a link in a folder that other users may write, and another user "
                                               "owns it: it is not followed, and nothing was saved.\nSave As can "
                                               "store the text under another name."));
        throw Abort();
    case documents::Failure::NotAFile:
        ShowMessageBox(QStringLiteral("$ECannot save the file"),
                       quoted + QStringLiteral(" is not a file but a pipe, a device or a socket: nothing was saved.\n"
                                               "Save As can store the text under another name."));
        throw Abort();
    default:
        break;
    }
    QString question;
    switch (pageSet_.diskChange(slot)) {
    case documents::FileChange::None:
        return;
    case documents::FileChange::Changed:
        question = QStringLiteral(" has been changed by another program since it was opened.\nSave this page over it?");
        break;
    case documents::FileChange::Replaced:
        question = QStringLiteral(" is no longer the file that was opened: another file or a link has taken its "
                                  "name.\nSave this page to it?");
        break;
    case documents::FileChange::Deleted:
        question = QStringLiteral(" has been deleted or moved since it was opened.\nSave this page there again?");
        break;
    }
    if (!ConfirmYesNo(quoted + question, &form_))
        throw Abort();
}

void DocumentCommands::reportLeftCopies()
{
    for (const LeftCopy &left : pageSet_.newLeftCopies()) {
        const QString original = left.original.empty() ? QStringLiteral("a file")
                                                        : QStringLiteral("\"") + QFile::decodeName(left.original.c_str())
                                                              + QStringLiteral("\"");
        ShowMessageBox(QStringLiteral("$WA save did not finish"),
                       QStringLiteral("A save that did not finish kept a copy of the old content of ") + original
                           + QStringLiteral(" in\n\"") + QFile::decodeName(left.copy.c_str())
                           + QStringLiteral("\"\nThe file itself may be incomplete. Delete the copy once it is no "
                                            "longer needed."),
                       &form_);
    }
}

void DocumentCommands::writeEncryptedPage(int slot)
{
    PageRecord &page = table_[slot];
    if (page.Password.isEmpty()) {
        PasswordRequest request;
        request.mode = PasswordMode::Encode;
        // With the common password the last one typed is offered again.
        request.clear = !Usecommonpassword1->isChecked();
        request.owner = &form_;
        const std::optional<QString> password = CurrentPrompter().password(request);
        if (!password)
            throw Abort();
        page.Password = *password;
    }
    const std::uint8_t cipher = EC41->isChecked() ? TOBRINEngine::CipherEC4 : TOBRINEngine::CipherBlowfish;
    const documents::DocumentError error = pageSet_.write(slot, cipher).error;
    if (error.ok())
        return;
    if (error.failure == documents::Failure::TooLongForLegacy)
        ShowMessageBox(QStringLiteral("$ECannot save the file"), legacyTooLongText(page.FileName));
    else if (error.failure == documents::Failure::Engine)
        ShowErrorBox(documents::failureMessage(error), error.systemError);
    else
        ShowErrorBox(QStringLiteral("Cannot save the file \"") + page.FileName + QStringLiteral("\""), error.systemError);
    throw Abort();
}

QString DocumentCommands::legacyTooLongText(const QString &path)
{
    return QStringLiteral("\"") + path
         + QStringLiteral("\" is not saved: its text is too long for a document of this old kind (at most 9,999,999 "
                          "bytes).\nSave As can store it as an encrypted document of the current version.");
}

QString DocumentCommands::savedText(const QString &path, bool movedToUtf8)
{
    QString text = QStringLiteral("\"") + path + QStringLiteral("\" has been saved");
    // Said once, at the save that changes the file's encoding.
    if (movedToUtf8)
        text += QStringLiteral(" in UTF-8, as Windows-1252 cannot hold its text");
    return text;
}

bool DocumentCommands::writeTextPage(int slot)
{
    PageRecord &page = table_[slot];
    for (;;) {
        const PageSet::WriteResult written = pageSet_.write(slot, 0);
        if (written.error.ok())
            return written.movedToUtf8;
        ShowErrorBox(QStringLiteral("Warning"), written.error.systemError);
        if (!ConfirmYesNo(QStringLiteral("Cannot save the file \"") + page.FileName + QStringLiteral("\"\nTry again?"),
                          &form_))
            throw Abort();
    }
}

int DocumentCommands::SaveButtonClick()
{
    const TForm1::Operation operation(form_);
    if (!form_.currentEditor())
        return -1;
    const int slot = table_.CurrentPage;
    if (table_[slot].isUntitled())
        return Saveas1Click();
    if (!savePage(slot).saved)
        throw Abort();
    return slot;
}

int DocumentCommands::Saveas1Click()
{
    const TForm1::Operation operation(form_);
    if (!form_.currentEditor())
        return -1;
    const int slot = table_.CurrentPage;
    PageRecord &page = table_[slot];
    if (page.Editor->ReadOnly())
        throw Abort();
    PageKind kind = page.Kind;
    const QString chosen = askSaveAsName(page, kind);
    // Saving over a document that another page holds would leave two pages for one file.
    if (const int other = table_.findLoaded(chosen); other >= 0 && other != slot) {
        CheckNotAlreadyLoaded(chosen);
        throw Abort();
    }
    const QString oldName = page.FileName;
    const PageKind oldKind = page.Kind;
    page.Kind = kind;
    page.FileName = chosen;
    const int caret = page.Editor->SelStart();
    SaveOutcome saved;
    {
        // A failed save leaves the page as it was.
        ScopeGuard keepOld([&] {
            page.FileName = oldName;
            page.Kind = oldKind;
        });
        saved = savePage(slot);
        if (!saved.saved)
            throw Abort();
        keepOld.dismiss();
    }
    // The page is opened again from what was written, in the kind the new name gives.
    const QString password = page.Password;
    ClosePage(slot);
    const int reopened = openDocument(chosen, true, password, true);
    if (reopened >= 0)
        table_[reopened].Editor->SetSelStart(caret);
    // The note about the file's new encoding outlives the reopening's message.
    if (saved.movedToUtf8)
        form_.setPanel(3, savedText(chosen, true));
    return reopened;
}

QString DocumentCommands::askSaveAsName(const PageRecord &page, PageKind &kind)
{
    const SaveAsStart start = saveAsStart(page.Kind, page.FileName);
    QStringList filters;
    const QStringList texts = saveAsFilterTexts();
    // Lower case first: the dialog gives a typed name the first pattern's suffix when the
    // filter changes, and "s1.eco" must not become a second file "s1.ECO".
    const char *patterns[kSaveAsFilterCount] = {"*.eco *.ECO", "*.rtf *.RTF", "*.txt *.TXT", "*.bat *.BAT", "*.eco *.ECO"};
    for (int i = 0; i < kSaveAsFilterCount; ++i)
        filters << texts[i] + QStringLiteral(" (") + QLatin1String(patterns[i]) + QLatin1Char(')');
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.caption = QStringLiteral("Save As - File extension is not required");
    request.folder = start.initialFolder.isEmpty() ? newFileFolder() : start.initialFolder;
    // A new batch belongs with the others.
    if (page.isUntitled() && isBatchName(page.FileName))
        request.folder = form_.programFolder() + QStringLiteral("Batches");
    request.fileName = start.initialName;
    request.filter = filters.join(QStringLiteral(";;"));
    request.filterIndex = start.filterIndex;
    request.confirmOverwrite = true;
    request.owner = &form_;
    for (;;) {
        const FileDialogResult result = CurrentPrompter().file(request);
        if (!result.accepted || result.file().isEmpty())
            throw Abort();
        const SaveAsTarget target = saveAsTarget(result.filterIndex, start.extensionWord);
        QString chosen = result.file();
        if (needsExtensionQuestion(chosen, target.wantedExtension)) {
            MessageRequest question;
            question.caption = EscapeMenuCaption(Saveas1->text());
            question.text = QStringLiteral("Do you want to add the ") + target.wantedExtension
                            + QStringLiteral(" file extension?");
            question.icon = MessageIcon::Question;
            question.buttons = MessageButtons::YesNoCancel;
            question.owner = &form_;
            const MessageAnswer answer = CurrentPrompter().message(question);
            if (answer == MessageAnswer::Cancel)
                throw Abort();
            if (answer == MessageAnswer::Yes)
                chosen += target.wantedExtension;
        }
        // The dialog confirmed replacing the name it was given, not the one with the extension.
        if (chosen != result.file() && QFileInfo::exists(chosen)
            && !ConfirmYesNo(QStringLiteral("\"") + chosen + QStringLiteral("\" already exists.\nDo you want to replace it?"),
                             &form_)) {
            request.fileName = result.file();
            request.filterIndex = result.filterIndex;
            continue;
        }
        kind = target.kind;
        return chosen;
    }
}

QString DocumentCommands::newFileFolder() const
{
    for (const QString &folder : {shownFolder_, startFolder_})
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return QDir::homePath();
}

void DocumentCommands::SaveAll1Click()
{
    const TForm1::Operation operation(form_);
    // A page that fails or is cancelled does not stop the others; the user learns which stay
    // unsaved, with the page they were on in view again.
    QStringList unsaved;
    {
        // Each page is saved as the current one; the user's page is current again afterwards.
        const QPointer<QWidget> userPage = form_.currentEditor() ? table_[table_.CurrentPage].Sheet : nullptr;
        const ScopeGuard restore([&] {
            if (userPage && PageControl1->indexOf(userPage) >= 0) {
                PageControl1->setCurrentWidget(userPage);
                form_.PageControl1Change();
            }
        });
        for (int i = 0; i < kPageCount; ++i) {
            PageRecord &page = table_[i];
            if (page.isFree() || !page.Editor || !page.Editor->Modified())
                continue;
            const QString name = page.FileName;
            PageControl1->setCurrentWidget(page.Sheet);
            table_.CurrentPage = i;
            if (!RunGuarded([&] { SaveButtonClick(); }))
                unsaved << QStringLiteral("\"") + name + QStringLiteral("\"");
        }
    }
    if (!unsaved.isEmpty())
        ShowMessage((unsaved.size() == 1 ? QStringLiteral("This page was not saved:\n")
                                         : QStringLiteral("These pages were not saved:\n"))
                    + unsaved.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------------------------
// Closing

CloseResult DocumentCommands::ClosePage(int slot)
{
    const TForm1::Operation operation(form_);
    if (slot < 0 || slot >= kPageCount)
        return CloseResult::Closed;
    PageRecord &page = table_[slot];
    if (page.isFree())
        return CloseResult::Closed;
    try {
        if (page.Editor && page.Editor->Modified()) {
            const MessageAnswer answer = askSaveChanges(slot);
            if (answer == MessageAnswer::Cancel)
                return CloseResult::Kept;
            if (answer == MessageAnswer::Yes) {
                PageControl1->setCurrentWidget(page.Sheet);
                table_.CurrentPage = slot;
                const int saved = SaveButtonClick();
                // Save As closes and reopens the page itself; the saved page is what closes.
                if (saved >= 0 && saved != slot)
                    return ClosePage(saved);
            }
        }
        releasePage(slot);
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while closing page ") + QString::number(slot));
        return CloseResult::Kept;
    }
    activateFirstOpenPage();
    if (table_.CurrentPage < 0)
        form_.DisableDocumentCommands();
    emit form_.documentStateChanged();
    return CloseResult::Closed;
}

MessageAnswer DocumentCommands::askSaveChanges(int slot)
{
    // The page control may be hidden during a window close; the page asked about is in view.
    PageControl1->setVisible(true);
    if (PageControl1->indexOf(table_[slot].Sheet) >= 0) {
        PageControl1->setCurrentWidget(table_[slot].Sheet);
        table_.CurrentPage = slot;
    }
    MessageRequest question;
    question.caption = QStringLiteral("Confimation");
    question.text = QStringLiteral("\"") + table_[slot].FileName + QStringLiteral("\"\n not saved. Save Changes?");
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNoCancel;
    question.owner = &form_;
    return CurrentPrompter().message(question);
}

void DocumentCommands::releasePage(int slot)
{
    // The sheet and its editor stay for the slot's next page.
    PageRecord &page = table_[slot];
    pageSet_.closing(slot);
    const TForm1::UpdatingScope updating(form_);
    page.FileName.clear();
    page.PasswordUnconfirmed = false;
    page.LineEnds = {};
    page.OddLineEnds.clear();
    if (page.Editor) {
        page.Editor->SetReadOnly(false);
        page.Editor->Clear();
    }
    if (const int index = PageControl1->indexOf(page.Sheet); index >= 0)
        PageControl1->removeTab(index);
    table_.CurrentPage = -1;
}

void DocumentCommands::activateFirstOpenPage()
{
    const int first = table_.firstOpenPage();
    if (first < 0)
        return;
    try {
        PageControl1->setCurrentWidget(table_[first].Sheet);
        table_.CurrentPage = first;
        form_.PageControl1Change();
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while activating page ") + QString::number(first));
    }
}

void DocumentCommands::Closeall1Click() { closeAll(); }

CloseResult DocumentCommands::closeAll()
{
    const TForm1::Operation operation(form_);
    PageControl1->setEnabled(false);
    const ScopeGuard enable([this] { PageControl1->setEnabled(true); });
    CloseResult result = CloseResult::Closed;
    for (int i = 0; i < kPageCount && result == CloseResult::Closed; ++i)
        result = ClosePage(i);
    return result;
}

} // namespace kelpa::editor
