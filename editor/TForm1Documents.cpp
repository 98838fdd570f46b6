// The main window's documents: opening a page in its kind, saving it, Save As, and closing pages
// with the question about unsaved changes.
#include "editor/TForm1.h"

#include "editor/SafeFile.h"
#include "editor/SaveAsRules.h"

#include "engine/LegacyCipher.h"
#include "engine/TOBRINEngine.h"
#include "platform/richedit/rtf/RtfDocument.h"
#include "platform/LastError.h"
#include "platform/codepage/CodePage.h"
#include "platform/richedit/TRichEdit.h"
#include "support/Abort.h"
#include "support/MessageBoxes.h"
#include "support/documents/DocumentCore.h"
#include "support/PasswordDialog.h"
#include "support/Prompter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QScopeGuard>
#include <QTabWidget>
#include <QUrl>

#include <cerrno>

namespace kelpa::editor {

namespace {

constexpr int kAutoWrapLineLimit = 200;
constexpr int kAutoWrapLineLength = 110;

// The password's bytes as the dialog makes them; a password without any (the dialog refuses
// such entries) gives the engine no password rather than another one.
std::string passwordBytes(const QString &password)
{
    const std::optional<QByteArray> bytes = TOBRINPasswordDlg::PasswordBytes(password);
    return bytes ? bytes->toStdString() : std::string();
}

std::string engineFileName(const QString &path) { return QFile::encodeName(path).toStdString(); }

// The text split into lines and joined again with CR LF after every line, as a string list
// hands it on.
QByteArray asLines(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 2);
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && bytes[i] != '\r' && bytes[i] != '\n')
            ++i;
        out.append(bytes.constData() + start, i - start);
        out.append("\r\n");
        if (i < n && bytes[i] == '\r')
            ++i;
        if (i < n && bytes[i] == '\n')
            ++i;
        start = i;
    }
    return out;
}

QByteArray engineResult(const TOBRINEngine &engine)
{
    return QByteArray(reinterpret_cast<const char *>(engine.Result.data()), static_cast<qsizetype>(engine.ResultLength));
}

// How an open reports an engine failure.
QString openFailureText(const QString &path, const TOBRINEngine &engine)
{
    return QStringLiteral("File ") + path + QStringLiteral(" (E") + QString::number(engine.ErrorCode)
         + QStringLiteral(") ") + QString::fromStdString(engine.ErrorText());
}

bool isEncryptedKind(PageKind kind) { return kind == PageKind::Encrypted || kind == PageKind::Legacy; }

// What a plain or rich page writes: plain lines (also from a rich editor saved as plain text,
// whose stream would be rich text), or its rich-text stream.
TRichEdit::PlainBytes textPageBytes(const PageRecord &page)
{
    if (page.Kind != PageKind::Plain)
        return {page.Editor->SaveToStream(), page.Editor->Encoding()};
    TRichEdit::PlainBytes out = page.Editor->PlainStream();
    if (page.LfLineEnds) {
        const std::string lf = documents::withLineEnd(std::string_view(out.bytes.constData(), static_cast<std::size_t>(out.bytes.size())),
                                                      documents::LineEnd::Lf);
        out.bytes = QByteArray(lf.data(), static_cast<qsizetype>(lf.size()));
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Opening

int TForm1::OpenDocument(const QString &path, bool addToRecent, const QString &password)
{
    return openDocument(path, addToRecent, password, false);
}

int TForm1::openDocument(const QString &path, bool addToRecent, const QString &password, bool justWritten)
{
    const Operation operation(*this);
    if (path.isEmpty() || !CheckNotAlreadyLoaded(path))
        return -1;
    const int slot = table_.FindFreePage();
    if (slot < 0) {
        ShowMessage(QStringLiteral("No more pages available (max.= 16)"));
        return -1;
    }
    const QPointer<QWidget> previousSheet = currentEditor() ? table_[table_.CurrentPage].Sheet : nullptr;
    CloseEmptyUntitledPage(path);
    AllocatePage(slot);
    ConfigurePageEditor(slot, path);

    ReadOutcome outcome = ReadOutcome::Read;
    if (isUntitledName(path)) {
        if (isBatchName(path))
            table_[slot].Editor->SetText(QStringLiteral("REM Standard .BAT ready. Please read the help for more info"));
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
    emit documentStateChanged();
    return slot;
}

TForm1::ReadOutcome TForm1::readTextFile(int slot, const QString &path)
{
    QFile f(path);
    QByteArray content;
    bool ok = false;
    // The box shows the system's text for the last error: the one of this read, never one
    // that an earlier call left.
    platform::clearLastError();
    if (f.open(QIODevice::ReadOnly)) {
        content = f.readAll();
        ok = f.error() == QFileDevice::NoError;
    }
    if (!ok) {
        int error = platform::lastError();
        // A folder opens without a system error; other failures may not set one either.
        if (error == 0)
            error = QFileInfo(path).isDir() ? EISDIR : EIO;
        platform::setLastError(error);
        ShowErrorBox(path);
        return ReadOutcome::Failed;
    }
    table_[slot].Password.clear();
    table_[slot].LfLineEnds = documents::lineEndOf(std::string_view(content.constData(), static_cast<std::size_t>(content.size())))
                              == documents::LineEnd::Lf;
    table_[slot].Editor->LoadFromStream(content);
    CheckAutoWrap(slot);
    return ReadOutcome::Read;
}

TForm1::ReadOutcome TForm1::readEncryptedDocument(int slot, const QString &path, const QString &password)
{
    const QString pwd = password.isEmpty() ? AskPassword() : password;
    if (pwd.isEmpty())
        return ReadOutcome::Failed;
    platform::clearLastError();
    if (!engine_->LoadFromFile(passwordBytes(pwd), engineFileName(path))) {
        ShowErrorBox(openFailureText(path, *engine_));
        return ReadOutcome::Failed;
    }
    PageRecord &page = table_[slot];
    page.Password = pwd;
    page.Kind = encryptedKindForVersion(QByteArray::fromStdString(engine_->Version));
    const QByteArray content = engineResult(*engine_);
    page.Editor->LoadFromStream(asLines(content));
    return passwordOutcome(page.Kind, content);
}

TForm1::ReadOutcome TForm1::passwordOutcome(PageKind kind, const QByteArray &content) const
{
    // The legacy cipher gives its own text for a body that does not decipher.
    if (kind == PageKind::Legacy
        && content == QByteArray(DecipherFailureText.data(), static_cast<qsizetype>(DecipherFailureText.size())))
        return ReadOutcome::PasswordWrong;
    // Neither the legacy cipher nor a block stored without compression can tell a wrong
    // password: the page waits for the user's word that the text is right.
    if (kind == PageKind::Legacy || engine_->HeadCompressionId == TOBRINEngine::CompressionStored)
        return ReadOutcome::PasswordUnchecked;
    return ReadOutcome::Read;
}

void TForm1::releaseFailedPage(int slot, const QPointer<QWidget> &previousSheet)
{
    // Nothing half open stays behind: the slot is released at once, unasked.
    table_[slot].Editor->SetModified(false);
    table_[slot].FileName = QStringLiteral("*failed");
    ClosePage(slot);
    if (previousSheet && PageControl1->indexOf(previousSheet) >= 0) {
        PageControl1->setCurrentWidget(previousSheet);
        PageControl1Change();
    }
}

// Saving over a file whose notes and margins the page cannot show drops them: the user is told
// when it opens.
QString TForm1::loadedText(const QString &path, unsigned omitted)
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

void TForm1::showOpenedPage(int slot, const QString &path, bool addToRecent)
{
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;
    Updating = true;
    page.FileName = path;
    PageControl1->addTab(page.Sheet, EscapeMenuCaption(fileNamePart(path)));
    PageControl1->setTabToolTip(PageControl1->indexOf(page.Sheet), path);
    PageControl1->setCurrentWidget(page.Sheet);
    table_.CurrentPage = slot;
    Updating = false;
    editor->SetModified(false);
    EnableDocumentCommands();
    if (!isUntitledName(path) && addToRecent)
        AddToRecent(path);
    if (Activated && PageControl1->isEnabled()) {
        setPanel(1, page.InsertMode == 1 ? QStringLiteral("Ins") : QStringLiteral("Ovr"));
        editor->setFocus();
    }
    SetEditorMargins();
    if (Activated) {
        PageControl1Change();
        setPanel(3, loadedText(page.FileName, editor->OmittedParts()));
        RichEdit1SelectionChange();
    }
}

void TForm1::markPasswordUnconfirmed(int slot, bool knownWrong)
{
    PageRecord &page = table_[slot];
    page.PasswordUnconfirmed = true;
    page.Editor->SetReadOnly(true);
    if (!knownWrong
        && ConfirmYesNo(QStringLiteral("\"") + page.FileName
                            + QStringLiteral("\": the password of this document cannot be checked.\n"
                                             "If the text shown is wrong, so was the password, and saving would "
                                             "destroy the document.\nIs the text correct?"),
                        this)) {
        page.PasswordUnconfirmed = false;
        page.Editor->SetReadOnly(false);
        return;
    }
    setPanel(3, readOnlyPageText());
}

QString TForm1::readOnlyPageText()
{
    return QStringLiteral("Read-only: enter the password again with Preferences > Encryption > Change...");
}

void TForm1::ConfigurePageEditor(int slot, const QString &path)
{
    Updating = true;
    PageRecord &page = table_[slot];
    TRichEdit *editor = page.Editor;
    editor->Clear();
    editor->SetSelStart(0);
    const bool rich = opensAsRich(path);
    editor->SetWordWrap(rich);
    editor->SetScrollBars(rich ? TScrollStyle::Vertical : TScrollStyle::Both);
    if (Activated)
        setPanel(2, rich ? QStringLiteral("W") : QString());
    Wraptext1->setChecked(rich);
    if (rich) {
        editor->SetPlainText(false);
        page.Kind = PageKind::Rich;
        SetRulerEnabled(true);
        if (FontName->findText(settings_.defaultFontName, Qt::MatchFixedString) < 0) {
            ShowMessage(QStringLiteral("Cannot get default font (") + settings_.defaultFontName
                        + QStringLiteral(") from system. You must choose another one"));
            Defaultfont1Click();
        }
        editor->setFont(defaultFont());
        editor->DefAttributes().SetName(settings_.defaultFontName);
        editor->DefAttributes().SetSize(defaultFont().pointSize());
    } else {
        QFont font = defaultFont();
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        editor->setFont(font);
        page.Kind = PageKind::Plain;
        editor->SetPlainText(true);
        SetRulerEnabled(false);
    }
    editor->SetSelLength(0);
    Updating = false;
}

void TForm1::CheckAutoWrap(int slot)
{
    TRichEdit *editor = table_[slot].Editor;
    if (!editor || table_[slot].Kind != PageKind::Plain || !Automatic1->isChecked())
        return;
    // No command may start while the lines are looked at; a failure is told and the open goes on.
    setEnabled(false);
    const auto enable = qScopeGuard([this] { setEnabled(true); });
    try {
        const int count = editor->Lines().Count();
        if (count >= kAutoWrapLineLimit)
            return;
        // The progress would advance every 300 lines; fewer than 200 never get past the first step.
        setPanel(3, QStringLiteral("AutoWrap checking: 0%"));
        for (int i = 0; i < count; ++i) {
            if (autoWrapLineLength(editor, i) > kAutoWrapLineLength) {
                editor->SetWordWrap(true);
                editor->SetScrollBars(TScrollStyle::Vertical);
                if (Activated)
                    setPanel(2, QStringLiteral("W"));
                Wraptext1->setChecked(true);
                editor->SetModified(false);
                break;
            }
        }
        setPanel(3, QString());
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while checking for AutoWrap"));
    }
}

int TForm1::autoWrapLineLength(TRichEdit *editor, int line) { return editor->LineLength(line); }

QString TForm1::AskPassword()
{
    TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
    if (!dlg)
        return {};
    // Decoding asks once: the entry takes the confirmation's place and the explanation stands
    // above it, where the two labels were.
    const QRect passwordPlace = dlg->Password->geometry();
    const QRect explanationPlace = dlg->Label3->geometry();
    const QRect labelPlace = dlg->Label1->geometry();
    const QRect confirmationPlace = dlg->PasswordChk->geometry();
    dlg->Password->setGeometry(confirmationPlace);
    dlg->Label3->setGeometry(labelPlace.left(), labelPlace.top(), labelPlace.width(),
                             confirmationPlace.top() - labelPlace.top() - 4);
    dlg->setDecodeMode();
    dlg->Label1->hide();
    const auto restore = qScopeGuard([&] {
        dlg->setEncodeMode();
        dlg->Label1->show();
        dlg->Password->setGeometry(passwordPlace);
        dlg->Label3->setGeometry(explanationPlace);
    });
    dlg->setClearOnShow(!Usecommonpassword1->isChecked());
    const int result = dlg->ShowModal();
    return result == 1 ? dlg->password() : QString();
}

void TForm1::OpenButtonClick()
{
    const Operation operation(*this);
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
    request.owner = this;
    const FileDialogResult result = CurrentPrompter().file(request);
    if (result.accepted && !result.file().isEmpty())
        OpenDocument(result.file(), true, QString());
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    WMDropFiles(files);
}

void TForm1::WMDropFiles(const QStringList &files)
{
    const Operation operation(*this);
    // Each file in turn; a failure of one does not stop the others.
    for (const QString &file : files)
        RunGuarded([&] { OpenDocument(file, true, QString()); });
}

void TForm1::Changepassword1Click()
{
    const Operation operation(*this);
    if (!currentEditor())
        return;
    const int slot = table_.CurrentPage;
    PageRecord &page = table_[slot];
    TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
    if (!dlg)
        return;
    if (page.PasswordUnconfirmed) {
        reenterPassword(slot);
        return;
    }
    dlg->setEncodeMode();
    dlg->Password->setText(page.Password);
    dlg->PasswordChk->setText(page.Password);
    dlg->setClearOnShow(!Usecommonpassword1->isChecked());
    if (dlg->ShowModal() == 1) {
        page.Password = dlg->password();
        page.Editor->SetModified(true);
        RichEdit1Change();
    }
}

void TForm1::reenterPassword(int slot)
{
    // The document is read again with the password now given.
    PageRecord &page = table_[slot];
    const QString pwd = AskPassword();
    if (pwd.isEmpty())
        return;
    platform::clearLastError();
    if (!engine_->LoadFromFile(passwordBytes(pwd), engineFileName(page.FileName))) {
        ShowErrorBox(openFailureText(page.FileName, *engine_));
        return;
    }
    const QByteArray content = engineResult(*engine_);
    page.Password = pwd;
    page.PasswordUnconfirmed = false;
    page.Editor->SetReadOnly(false);
    page.Editor->LoadFromStream(asLines(content));
    page.Editor->SetModified(false);
    if (const ReadOutcome outcome = passwordOutcome(page.Kind, content); outcome != ReadOutcome::Read)
        markPasswordUnconfirmed(slot, outcome == ReadOutcome::PasswordWrong);
    emit documentStateChanged();
}

// ---------------------------------------------------------------------------------------------
// Saving

bool TForm1::SavePage(int slot)
{
    const Operation operation(*this);
    PageRecord &page = table_[slot];
    if (page.isFree() || !page.Editor || page.Editor->ReadOnly())
        return false;
    const QString path = page.FileName;
    if (isReadOnlyFile(path)
        && !ConfirmYesNo(QStringLiteral("\"") + path
                             + QStringLiteral("\" is a read-only file.\nThis program can save it all the same (by "
                                              "removing temporaneously the read-only attribute). Proceed?"),
                         this))
        throw Abort();
    // The new file takes the old one's permission bits, so the read-only attribute is kept
    // whatever happens below.
    encodingSwitched_ = false;
    if (isEncryptedKind(page.Kind))
        writeEncryptedPage(slot);
    else
        encodingSwitched_ = writeTextPage(slot);
    PageControl1->setTabText(PageControl1->indexOf(page.Sheet), EscapeMenuCaption(fileNamePart(path)));
    PageControl1->setTabToolTip(PageControl1->indexOf(page.Sheet), path);
    page.Editor->SetModified(false);
    page.FileName = path;
    AddToRecent(path);
    setPanel(3, savedText(path));
    emit documentStateChanged();
    QCoreApplication::processEvents();
    return true;
}

void TForm1::writeEncryptedPage(int slot)
{
    PageRecord &page = table_[slot];
    if (page.Password.isEmpty()) {
        TOBRINPasswordDlg *dlg = TOBRINPasswordDlg::instance();
        if (!dlg)
            throw Abort();
        dlg->setEncodeMode();
        // With the common password the last one typed is offered again.
        dlg->setClearOnShow(!Usecommonpassword1->isChecked());
        if (dlg->ShowModal() != 1)
            throw Abort();
        page.Password = dlg->password();
    }
    const QByteArray data = asLines(page.Editor->SaveToStream());
    if (page.Kind == PageKind::Legacy)
        engine_->CipherId = TOBRINEngine::CipherLegacy;
    else
        engine_->CipherId = EC41->isChecked() ? TOBRINEngine::CipherEC4 : TOBRINEngine::CipherBlowfish;
    const std::string pwd = passwordBytes(page.Password);
    bool engineFailed = false;
    QString error;
    const bool saved = replaceFileThrough(
        page.FileName,
        [&](const QString &temp) {
            platform::clearLastError();
            engineFailed = !engine_->SaveToFile(pwd, engineFileName(temp),
                                                reinterpret_cast<const std::uint8_t *>(data.constData()),
                                                static_cast<std::size_t>(data.size()));
            return !engineFailed;
        },
        &error);
    if (saved)
        return;
    if (engineFailed)
        ShowErrorBox(QStringLiteral("E") + QString::number(engine_->ErrorCode) + QStringLiteral(": ")
                     + QString::fromStdString(engine_->ErrorText()));
    else
        ShowErrorBox(QStringLiteral("Cannot save the file \"") + page.FileName + QStringLiteral("\""));
    throw Abort();
}

QString TForm1::savedText(const QString &path) const
{
    QString text = QStringLiteral("\"") + path + QStringLiteral("\" has been saved");
    // Said once, at the save that changes the file's encoding.
    if (encodingSwitched_)
        text += QStringLiteral(" in UTF-8, as Windows-1252 cannot hold its text");
    return text;
}

bool TForm1::writeTextPage(int slot)
{
    PageRecord &page = table_[slot];
    for (;;) {
        QString error;
        const TRichEdit::PlainBytes out = textPageBytes(page);
        if (writeFileReplacing(page.FileName, out.bytes, &error)) {
            // The page keeps its encoding until the file is in another one.
            const bool switched = out.encoding != page.Editor->Encoding();
            page.Editor->SetEncoding(out.encoding);
            return switched;
        }
        ShowErrorBox(QStringLiteral("Warning"));
        if (!ConfirmYesNo(QStringLiteral("Cannot save the file \"") + page.FileName + QStringLiteral("\"\nTry again?"),
                          this))
            throw Abort();
    }
}

int TForm1::SaveButtonClick()
{
    const Operation operation(*this);
    if (!currentEditor())
        return -1;
    const int slot = table_.CurrentPage;
    if (table_[slot].isUntitled())
        return Saveas1Click();
    if (!SavePage(slot))
        throw Abort();
    return slot;
}

int TForm1::Saveas1Click()
{
    const Operation operation(*this);
    if (!currentEditor())
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
    {
        // A failed save leaves the page as it was.
        auto keepOld = qScopeGuard([&] {
            page.FileName = oldName;
            page.Kind = oldKind;
        });
        if (!SavePage(slot))
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
    if (encodingSwitched_)
        setPanel(3, savedText(chosen));
    return reopened;
}

QString TForm1::askSaveAsName(const PageRecord &page, PageKind &kind)
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
    request.folder = start.initialFolder;
    request.fileName = start.initialName;
    request.filter = filters.join(QStringLiteral(";;"));
    request.filterIndex = start.filterIndex;
    request.confirmOverwrite = true;
    request.owner = this;
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
            question.owner = this;
            const MessageAnswer answer = CurrentPrompter().message(question);
            if (answer == MessageAnswer::Cancel)
                throw Abort();
            if (answer == MessageAnswer::Yes)
                chosen += target.wantedExtension;
        }
        // The dialog confirmed replacing the name it was given, not the one with the extension.
        if (chosen != result.file() && QFileInfo::exists(chosen)
            && !ConfirmYesNo(QStringLiteral("\"") + chosen + QStringLiteral("\" already exists.\nDo you want to replace it?"),
                             this)) {
            request.fileName = result.file();
            request.filterIndex = result.filterIndex;
            continue;
        }
        kind = target.kind;
        return chosen;
    }
}

void TForm1::SaveAll1Click()
{
    const Operation operation(*this);
    // Each page is saved as the current one; the user's page is current again afterwards.
    const QPointer<QWidget> userPage = currentEditor() ? table_[table_.CurrentPage].Sheet : nullptr;
    const auto restore = qScopeGuard([&] {
        if (userPage && PageControl1->indexOf(userPage) >= 0) {
            PageControl1->setCurrentWidget(userPage);
            PageControl1Change();
        }
    });
    for (int i = 0; i < kPageCount; ++i) {
        PageRecord &page = table_[i];
        if (page.isFree() || !page.Editor || !page.Editor->Modified())
            continue;
        PageControl1->setCurrentWidget(page.Sheet);
        table_.CurrentPage = i;
        SaveButtonClick();
    }
}

// ---------------------------------------------------------------------------------------------
// Closing

void TForm1::ClosePage(int slot)
{
    const Operation operation(*this);
    if (slot < 0 || slot >= kPageCount)
        return;
    PageRecord &page = table_[slot];
    if (page.isFree())
        return;
    try {
        if (page.Editor && page.Editor->Modified()) {
            const MessageAnswer answer = askSaveChanges(slot);
            if (answer == MessageAnswer::Cancel) {
                CloseAllowed = false;
                return;
            }
            if (answer == MessageAnswer::Yes) {
                PageControl1->setCurrentWidget(page.Sheet);
                table_.CurrentPage = slot;
                const int saved = SaveButtonClick();
                // Save As closes and reopens the page itself; the saved page is what closes.
                if (saved >= 0 && saved != slot) {
                    ClosePage(saved);
                    return;
                }
            }
        }
        releasePage(slot);
    } catch (const std::exception &e) {
        Updating = false;
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while closing page ") + QString::number(slot));
        CloseAllowed = false;
        return;
    }
    activateFirstOpenPage();
    if (table_.CurrentPage < 0)
        DisableDocumentCommands();
    emit documentStateChanged();
}

MessageAnswer TForm1::askSaveChanges(int slot)
{
    // The page control may be hidden during a window close.
    PageControl1->setVisible(true);
    MessageRequest question;
    question.caption = QStringLiteral("Confimation");
    question.text = QStringLiteral("\"") + table_[slot].FileName + QStringLiteral("\"\n not saved. Save Changes?");
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNoCancel;
    question.owner = this;
    return CurrentPrompter().message(question);
}

void TForm1::releasePage(int slot)
{
    // The sheet and its editor stay for the slot's next page.
    PageRecord &page = table_[slot];
    Updating = true;
    page.FileName.clear();
    page.PasswordUnconfirmed = false;
    page.LfLineEnds = false;
    if (page.Editor) {
        page.Editor->SetReadOnly(false);
        page.Editor->Clear();
    }
    if (const int index = PageControl1->indexOf(page.Sheet); index >= 0)
        PageControl1->removeTab(index);
    table_.CurrentPage = -1;
}

void TForm1::activateFirstOpenPage()
{
    const int first = table_.firstOpenPage();
    Updating = false;
    if (first < 0)
        return;
    try {
        PageControl1->setCurrentWidget(table_[first].Sheet);
        table_.CurrentPage = first;
        PageControl1Change();
    } catch (const std::exception &e) {
        ShowMessage(QString::fromLocal8Bit(e.what()) + QStringLiteral(" while activating page ") + QString::number(first));
    }
}

void TForm1::Closeall1Click()
{
    const Operation operation(*this);
    PageControl1->setEnabled(false);
    CloseAllowed = true;
    for (int i = 0; i < kPageCount; ++i) {
        ClosePage(i);
        if (!CloseAllowed)
            break;
    }
    PageControl1->setEnabled(true);
}

} // namespace kelpa::editor
