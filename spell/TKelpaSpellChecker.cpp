#include "spell/TKelpaSpellChecker.h"

#include "platform/codepage/CodePage.h"
#include "richedit/TRichEdit.h"
#include "spell/CheckRun.h"
#include "spell/ClipboardKeeper.h"
#include "spell/CheckerFiles.h"
#include "spell/Cp1251.h"
#include "spell/TForm_Merge.h"
#include "spell/WordFiles.h"
#include "support/Abort.h"
#include "support/CheckerHandOff.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "platform/ProgramFolder.h"
#include "support/Launch.h"
#include "support/StoredText.h"
#include "platform/safefile/SafeFile.h"

#include <cerrno>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusTipEvent>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelpa::spell {

using richedit::TNumberingStyle;
using richedit::TRichEdit;

namespace {

using codepage::Windows1251;

QString fromBytes(std::string_view bytes)
{
    const std::u16string text = codepage::decode(bytes, Windows1251);
    return QString::fromStdU16String(text);
}

// The word as the dictionary keeps it; false when a character has no Windows-1251 byte.
bool toBytes(const QString &text, std::string &out)
{
    bool lossless = true;
    out = codepage::encode(text.toStdU16String(), Windows1251, &lossless);
    return lossless;
}

// The typographic apostrophe is kept as the dictionary's own.
QString withPlainApostrophes(QString text)
{
    return text.replace(QChar(0x2019), QLatin1Char('\''));
}

QString dictionaryText(const QString &text)
{
    return withPlainApostrophes(QString::fromStdU16String(LowerText(TrimText(text.toStdU16String()))));
}

// What went wrong with a dictionary file, in words.
QString loadFailureText(std::int32_t code)
{
    switch (code) {
    case kpdFOpen: return QStringLiteral("the file cannot be opened");
    case kpdFReadMagic: return QStringLiteral("the file is empty or too short to be a dictionary");
    case kpdNotKPD: return QStringLiteral("the file is not a dictionary");
    case kpdSupVer: return QStringLiteral("the dictionary's version is not supported");
    case kpdFRead: return QStringLiteral("the file is damaged or cut short");
    case kpdMAlloc:
    case kpdMResize: return QStringLiteral("there is not enough memory for it");
    case kpdV1Load: return QStringLiteral("the dictionary of the old format cannot be converted");
    default: break;
    }
    return code >= kpdCoderBase ? QStringLiteral("its word list is damaged") : QStringLiteral("it cannot be read");
}

} // namespace

TKelpaSpellChecker::TKelpaSpellChecker(TForm_Merge *merge, QWidget *parent)
    : QDialog(parent), merge_(merge)
{
    if (!merge_) {
        ownMerge_ = std::make_unique<TForm_Merge>();
        merge_ = ownMerge_.get();
    }
    setupComponents();
    setupCheckActions();
    setupDictionaryActions();
    FormCreate();
    window_ = std::make_unique<platform::Window>(SpellCheckerWindowClass, windowTitle(), this);
    connect(window_.get(), &platform::Window::messageReceived, this,
            Guarded([this](std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
                Dispatch(message, wParam, lParam);
            }));
}

TKelpaSpellChecker::~TKelpaSpellChecker() = default;

platform::WindowHandle TKelpaSpellChecker::windowHandle() const
{
    return window_ ? window_->handle() : 0;
}

void TKelpaSpellChecker::Dispatch(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (message == WM_CHECKTEXT)
        WMCheckText(wParam, lParam);
    else if (message == WM_CLOSECHECKER)
        WMCloseChecker();
}

// ---------------------------------------------------------------------------------------------
// Window

void TKelpaSpellChecker::FormCreate()
{
    BaseCaption = StoredTextString(StoredTextId::SpellCheckerCaption) + QStringLiteral(" 3.0r1");
    setWindowTitle(BaseCaption);
    QCoreApplication::setApplicationName(QStringLiteral("Kelpa Spell Checker"));
    HomeFolder = platform::keptFilesFolder();
    SettingsHome = platform::settingsFolder();
    resize(400, 260);
    refreshDictionaryList(ReadDictionarySetting(SettingsHome));
}

// The dictionaries of the program folder into the selection; `select` is chosen when listed,
// otherwise the first. No load happens here.
QString TKelpaSpellChecker::dictionaryFolder(const QString &file) const
{
    return QFileInfo::exists(HomeFolder + file) ? HomeFolder : platform::programFolder();
}

void TKelpaSpellChecker::refreshDictionaryList(const QString &select)
{
    // The user's own dictionaries and those installed with the program, one entry per name.
    QStringList files = QDir(HomeFolder).entryList({QStringLiteral("*.kpd")}, QDir::Files, QDir::Name);
    if (platform::programFolder() != HomeFolder) {
        for (const QString &f : QDir(platform::programFolder()).entryList({QStringLiteral("*.kpd")}, QDir::Files, QDir::Name))
            if (!files.contains(f))
                files << f;
        files.sort();
    }
    const QSignalBlocker block(DictioSelection);
    DictioSelection->clear();
    DictioSelection->addItems(files);
    int i = files.indexOf(select);
    if (i < 0 && !files.isEmpty())
        i = 0;
    DictioSelection->setCurrentIndex(i);
    selectedDictionary_ = i;
}

bool TKelpaSpellChecker::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        StatusPanel1->setText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TKelpaSpellChecker::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (FormShown)
        return;
    FormShown = true;
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    RunGuarded([this] {
        DictioSelectionChange();
        if (CheckPending) {
            CheckPending = false;
            WMCheckText(PendingCheckMessage.wParam, PendingCheckMessage.lParam);
        }
    });
}

void TKelpaSpellChecker::reject()
{
    // Esc: Cancel of whichever pane is up.
    RunGuarded([this] { inPane_ ? Btn_CancelDMClick() : Btn_CancelClick(); });
}

bool TKelpaSpellChecker::FormCloseQuery()
{
    if (!MainDictionary.Modified || (DictioSelection->currentIndex() < 0 && MainDictionary.Count == 0))
        return true;
    const MessageAnswer a = CurrentPrompter().message(
        {QStringLiteral("Spell Checker"),
         QStringLiteral("The dictionary \"%1\" was modified.\nDo you want to save it now?").arg(DictionaryName),
         MessageIcon::Question, MessageButtons::YesNoCancel, this});
    if (a == MessageAnswer::Cancel)
        return false;
    if (a == MessageAnswer::Yes) {
        bool saved = false;
        RunGuarded([&] { saved = Btn_SaveDictionaryClick(); });
        return saved;
    }
    return true;
}

void TKelpaSpellChecker::closeEvent(QCloseEvent *event)
{
    if (!closeConfirmed_ && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    closeConfirmed_ = false;
    event->accept();
    FormClose();
}

void TKelpaSpellChecker::FormClose()
{
    closing_ = true;
    scanRun_.stop();
    WriteDictionarySetting(SettingsHome, rememberedDictionary());
    if (EditorWindow) {
        platform::PostMessage(EditorWindow, WM_CLOSECHECKER, 0, 0);
        EditorWindow = 0;
    }
    emit closed();
}

QString TKelpaSpellChecker::rememberedDictionary() const
{
    const QString selected = DictioSelection->currentIndex() >= 0 ? DictioSelection->currentText() : QString();
    if (selected.isEmpty() || selected == DictionaryName)
        return selected;
    // The selection did not load: the last one that did, else one not yet tried.
    if (!goodDictionary_.isEmpty())
        return goodDictionary_;
    for (int i = 0; i < DictioSelection->count(); ++i)
        if (!failedDictionaries_.contains(DictioSelection->itemText(i)))
            return DictioSelection->itemText(i);
    return {};
}

void TKelpaSpellChecker::closeWithoutAsking()
{
    closeConfirmed_ = true;
    close();
    closeConfirmed_ = false;
}

void TKelpaSpellChecker::SetupRichEdit(TRichEdit *edit)
{
    edit->SelectAll();
    edit->Paragraph().SetNumbering(TNumberingStyle::None);
    edit->SelAttributes().SetStyle({});
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    edit->setFont(font);
    edit->SelAttributes().SetColor(QColor());
}

void TKelpaSpellChecker::ShowWorkingText()
{
    syncingSelection_ = true;
    RichEdit2->setEnabled(false);
    RichEdit2->SetPlainText(RichEdit1->PlainText());
    RichEdit2->LoadFromStream(RichEdit1->SaveToStream());
    RichEdit2->SetSelStart(RichEdit1->SelStart());
    RichEdit2->SetSelLength(RichEdit1->SelLength());
    RichEdit2->ScrollCaret();
    RichEdit2->setEnabled(true);
    RichEdit2->setFocus();
    syncingSelection_ = false;
}

// ---------------------------------------------------------------------------------------------
// Protocol with the editor

void TKelpaSpellChecker::WMCheckText(platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (!FormShown) {
        PendingCheckMessage = {WM_CHECKTEXT, wParam, lParam};
        CheckPending = true;
        return;
    }
    scanRun_.stop();
    closing_ = false;
    // The text is checked in the checking pane; the dictionary pane's changes are kept.
    if (inPane_)
        Btn_OkDMClick();
    EditorWindow = wParam;
    // A new text ends whatever run was going on. Nothing may pump messages before the text is
    // in: a later hand-off handled in between would be overwritten by this older one.
    setCorrectionEnabled(false);
    Btn_CHKStart->setEnabled(true);
    Btn_CHKStop->setEnabled(false);
    foundWord_.reset();
    RichEdit1->Clear();
    RichEdit2->Clear();
    textReady_ = false;
    Button1->setEnabled(false);
    TransferMode = static_cast<int>(lParam);
    const bool plain = lParam >= TransferPlainText;
    if (plain)
        TransferMode -= static_cast<int>(TransferPlainText);
    RichEdit1->SetPlainText(plain);
    RichEdit2->SetPlainText(plain);
    SetupRichEdit(RichEdit1);
    SetupRichEdit(RichEdit2);
    if (TransferMode == TransferExchangeFile) {
        const ExchangeText in = ReadExchangeFile(HomeFolder);
        if (!in.ok) {
            // Nothing to check and nothing to hand back: only Cancel is left.
            show();
            ShowMessageBox(QStringLiteral("$ESpell Checker"),
                           QStringLiteral("Cannot read the text to check (%1)").arg(in.error), this);
            return;
        }
        RichEdit1->LoadFromStream(std::string_view(in.text));
    } else if (TransferMode == TransferClipboard) {
        RichEdit1->PasteFromClipboard();
        RichEdit1->SetSelStart(0);
        QGuiApplication::clipboard()->clear();
    } else {
        show();
        ShowMessageBox(QStringLiteral("$ESpell Checker"),
                       QStringLiteral("Unknown transfer code %1").arg(lParam), this);
        return;
    }
    textReady_ = true;
    Button1->setEnabled(true);
    ShowWorkingText();
    show();
    raise();
    activateWindow();
    Btn_CHKStartClick();
}

void TKelpaSpellChecker::WMCloseChecker()
{
    // Already on its way out (OK or Cancel is closing the window): nothing more to do.
    if (closing_)
        return;
    close();
}

void TKelpaSpellChecker::Btn_OkClick()
{
    if (!textReady_)
        return;
    if (!FormCloseQuery())
        return;
    if (TransferMode == TransferExchangeFile) {
        QString error;
        if (!WriteExchangeFile(HomeFolder, std::string_view(RichEdit1->SaveToStream().toStdString()), &error)) {
            ShowErrorBox(QStringLiteral("Cannot hand the text back to the editor (%1)").arg(error), 0);
            return;
        }
    } else {
        RichEdit1->SelectAll();
        RichEdit1->CopyToClipboard();
        // Before the editor is told: it pastes as soon as it hears.
        ServeClipboardContent();
    }
    scanRun_.stop();
    closing_ = true;
    const platform::WindowHandle editor = EditorWindow;
    if (editor)
        platform::PostMessage(editor, WM_CHECKTEXT, 0, 0);
    if (TransferMode != TransferExchangeFile)
        emit textLeftOnClipboard(editor);
    hide();
    if (editor)
        platform::BringWindowToFront(editor);
    closeWithoutAsking();
}

void TKelpaSpellChecker::Btn_CancelClick()
{
    if (!FormCloseQuery())
        return;
    scanRun_.stop();
    closing_ = true;
    const platform::WindowHandle editor = EditorWindow;
    if (editor)
        platform::PostMessage(editor, WM_CLOSECHECKER, 0, 0);
    hide();
    if (editor)
        platform::BringWindowToFront(editor);
    closeWithoutAsking();
}

// ---------------------------------------------------------------------------------------------
// Checking run

bool TKelpaSpellChecker::runInProgress() const
{
    return Btn_CHKStop->isEnabled();
}

void TKelpaSpellChecker::setCorrectionEnabled(bool on)
{
    for (QToolButton *b : {Btn_CHKIgnore, Btn_CHKIgnoreAll, Btn_CHKReplace, Btn_CHKReplaceAll})
        b->setEnabled(on);
    DictioSelection->setEnabled(!on);
    Btn_DictioEdit->setEnabled(!on);
    RichEdit2->setEnabled(!on);
    Edit1->setEnabled(!on);
}

void TKelpaSpellChecker::setProgress(long long done, long long total)
{
    ProgressBar1->setValue(total > 0 ? static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0) : 0);
}

void TKelpaSpellChecker::Btn_CHKStartClick()
{
    if (!textReady_)
        return;
    scanRun_.stop();
    Btn_CHKStart->setEnabled(false);
    Btn_CHKStop->setEnabled(true);
    RunDictionary.Assign(MainDictionary);
    foundWord_.reset();
    RichEdit1->SetSelStart(0);
    MisspellingMet = false;
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Btn_CHKIgnoreClick()
{
    if (!runInProgress())
        return;
    // Ignore goes on after the word the run stopped on, wherever the pane's caret is now.
    selectFoundWord();
    foundWord_.reset();
    setCorrectionEnabled(false);
    if (RichEdit1->SelLength() > 0)
        RichEdit1->SetSelStart(RichEdit1->SelStart() + RichEdit1->SelLength());
    const long long start = RichEdit1->SelStart();
    // The scan keeps its own copy of the text: it is what the positions it finds refer to.
    struct Scan {
        QString all;
        std::string rest;
        UnknownWordScan words;
        Scan(QString text, long long from, const TKPD &dictionary)
            : all(std::move(text)),
              rest(ToCheckBytes(QStringView(all).mid(from).toString().toStdU16String())),
              words(rest, dictionary)
        {
        }
    };
    const auto scan = std::make_shared<Scan>(RichEdit1->Text(), start, RunDictionary);
    scanRun_.startNow(
        [this, scan, start] {
            if (!scan->words.step())
                return false;
            setProgress(start + static_cast<long long>(scan->words.position()), scan->all.size());
            return true;
        },
        [this, scan, start] { scanEnded(scan->words.outcome(), start, scan->all); }, StepSliceMs);
}

void TKelpaSpellChecker::scanEnded(const ScanOutcome &outcome, long long start, const QString &all)
{
    const long long total = all.size();
    switch (outcome.result) {
    case ScanResult::Found: {
        MisspellingMet = true;
        const long long at = start + static_cast<long long>(outcome.start);
        RichEdit1->SetSelStart(static_cast<int>(at));
        RichEdit1->SetSelLength(static_cast<int>(outcome.length));
        foundWord_ = FoundWord{static_cast<int>(at), static_cast<int>(outcome.length)};
        Edit1->setText(all.mid(at, static_cast<qsizetype>(outcome.length)).toLower());
        setCorrectionEnabled(true);
        Edit1->setEnabled(true);
        ShowWorkingText();
        setProgress(at, total);
        break;
    }
    case ScanResult::End:
        if (!runInProgress())
            break;
        Btn_CHKStopClick();
        ShowMessage(MisspellingMet ? QStringLiteral("Done") : QStringLiteral("It's ok"));
        break;
    case ScanResult::Stopped:
        break;
    }
}

void TKelpaSpellChecker::selectFoundWord()
{
    if (!foundWord_)
        return;
    RichEdit1->SetSelStart(foundWord_->start);
    RichEdit1->SetSelLength(foundWord_->length);
}

void TKelpaSpellChecker::Btn_CHKStopClick()
{
    scanRun_.stop();
    foundWord_.reset();
    setCorrectionEnabled(false);
    Btn_CHKStart->setEnabled(textReady_);
    Btn_CHKStop->setEnabled(false);
    RichEdit1->SetSelStart(0);
    ProgressBar1->setValue(0);
    Edit1->clear();
    ListBox1->clear();
    ShowWorkingText();
}

void TKelpaSpellChecker::Btn_CHKIgnoreAllClick()
{
    // The word found is ignored, whatever has been typed over it in the correction field.
    selectFoundWord();
    const std::string found = LookupForm(ToCheckBytes(RichEdit1->SelText().toStdU16String()));
    RunDictionary.Add(found);
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Btn_CHKAddClick()
{
    std::string word;
    if (dictionaryText(Edit1->text()).isEmpty())
        return;
    if (!toBytes(dictionaryText(Edit1->text()), word) || !MainDictionary.Add(word)) {
        ShowMessage(QStringLiteral("\"%1\" cannot be stored in the dictionary").arg(Edit1->text().trimmed()));
        return;
    }
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
    if (runInProgress()) {
        RunDictionary.Add(word);
        Btn_CHKIgnoreClick();
    }
}

void TKelpaSpellChecker::Btn_CHKReplaceClick()
{
    selectFoundWord();
    const std::u16string replacement = ReplacementFor(RichEdit1->SelText().toStdU16String(), Edit1->text().toStdU16String());
    if (replacement.empty()) {
        ShowMessage(QStringLiteral("Please correct the word or click on the list"));
        return;
    }
    RichEdit1->SetSelText(QString::fromStdU16String(replacement));
    foundWord_.reset();
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Btn_CHKReplaceAllClick()
{
    selectFoundWord();
    const QString old = RichEdit1->SelText();
    const std::u16string replacement = LowerText(TrimText(Edit1->text().toStdU16String()));
    if (old.isEmpty() || LowerText(TrimText(old.toStdU16String())) == replacement) {
        ShowMessage(QStringLiteral("Please correct the word or click on the list"));
        return;
    }
    setCorrectionEnabled(false);
    std::u16string text = RichEdit1->Text().toStdU16String();
    const std::size_t caret = ReplaceAllWords(text, old.toStdU16String(), replacement,
                                              static_cast<std::size_t>(RichEdit1->SelStart()),
                                              [this](const Replacement &r) {
                                                  RichEdit1->SetSelStart(static_cast<int>(r.position));
                                                  RichEdit1->SetSelLength(static_cast<int>(r.length));
                                                  RichEdit1->SetSelText(QString::fromStdU16String(r.text));
                                              });
    RichEdit1->SetSelStart(static_cast<int>(caret));
    foundWord_.reset();
    Btn_CHKIgnoreClick();
}

void TKelpaSpellChecker::Edit1Change()
{
    std::vector<std::string> list;
    std::string word;
    toBytes(withPlainApostrophes(Edit1->text()), word);
    MainDictionary.Suggest(word, list);
    ListBox1->clear();
    for (const std::string &s : list)
        ListBox1->addItem(fromBytes(s));
}

void TKelpaSpellChecker::ListBox1Click()
{
    QListWidgetItem *item = ListBox1->currentItem();
    if (!item)
        return;
    if (item->text().startsWith(QLatin1Char('>'))) {
        Edit1->setText(item->text());
        return;
    }
    const QSignalBlocker block(Edit1);
    Edit1->setText(item->text());
}

// ---------------------------------------------------------------------------------------------
// Dictionaries

bool TKelpaSpellChecker::offerSave(const QString &caption)
{
    if (!MainDictionary.Modified || (DictionaryName.isEmpty() && MainDictionary.Count == 0))
        return true;
    const MessageAnswer a = CurrentPrompter().message(
        {caption,
         QStringLiteral("The dictionary \"%1\" was modified.\nDo you want to save it now?").arg(DictionaryName),
         MessageIcon::Question, MessageButtons::YesNoCancel, this});
    if (a == MessageAnswer::Cancel)
        return false;
    if (a == MessageAnswer::Yes) {
        bool saved = false;
        RunGuarded([&] { saved = Btn_SaveDictionaryClick(); });
        return saved;
    }
    return true;
}

void TKelpaSpellChecker::DictioSelectionChange()
{
    const int index = DictioSelection->currentIndex();
    if (index < 0)
        return;
    // A switch away from unsaved changes asks first; keeping them puts the selection back.
    if (index != selectedDictionary_ && !offerSave(QStringLiteral("Spell Checker"))) {
        const QSignalBlocker block(DictioSelection);
        DictioSelection->setCurrentIndex(selectedDictionary_);
        return;
    }
    selectedDictionary_ = index;
    const QString file = DictioSelection->itemText(index);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StatusPanel0->setText(QStringLiteral("Loading dictionary..."));
    DictionaryName = QStringLiteral("*New");
    errno = 0;
    const bool loaded = MainDictionary.LoadFromFile((dictionaryFolder(file) + file).toStdString());
    const int loadError = errno;
    QApplication::restoreOverrideCursor();
    if (loaded) {
        DictionaryName = file;
        goodDictionary_ = file;
        failedDictionaries_.removeAll(file);
    } else {
        failedDictionaries_.append(file);
        ShowErrorBox(QStringLiteral("Cannot load %1: %2 (%3)")
                         .arg(file, loadFailureText(MainDictionary.Error),
                              QString::fromStdString(MainDictionary.ErrorText())),
                     loadError);
    }
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
}

void TKelpaSpellChecker::setPaneShown(bool pane)
{
    inPane_ = pane;
    Panel_Check->setVisible(!pane);
    Panel_Check->setEnabled(!pane);
    Panel_Text->setVisible(!pane);
    Panel_Text->setEnabled(!pane);
    Panel_DM->setVisible(pane);
    Panel_DM->setEnabled(pane);
    const int width = pane ? Panel_DM->width() + 8 : 400;
    // The layout learns of the hidden panels first, or the old minimum width holds the window.
    layout()->activate();
    resize(width, height());
    if (QScreen *s = screen())
        move(s->availableGeometry().center().x() - width / 2, y());
}

void TKelpaSpellChecker::Btn_DictioEditClick()
{
    setPaneShown(true);
    StatusPanel1->setText(QStringLiteral("Allocating data..."));
    SavedModified = MainDictionary.Modified;
    RunDictionary.Assign(MainDictionary);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_OkDMClick()
{
    setPaneShown(false);
}

void TKelpaSpellChecker::Btn_CancelDMClick()
{
    StatusPanel0->setText(QStringLiteral("Reseting changes..."));
    MainDictionary.Assign(RunDictionary);
    MainDictionary.Modified = SavedModified;
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
    Btn_OkDMClick();
}

QString TKelpaSpellChecker::wordAt(int i) const
{
    return fromBytes(MainDictionary.GetWord(i));
}

void TKelpaSpellChecker::UpdateWordList()
{
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setMaximum(std::max(0, MainDictionary.Count - PageSize));
    ScrollBar1Change();
}

void TKelpaSpellChecker::ScrollBar1Change()
{
    const int keep = ListBox2->currentRow();
    const QSignalBlocker block(ListBox2);
    ListBox2->clear();
    const int first = ScrollBar1->value();
    for (int i = first; i < first + PageSize && i < MainDictionary.Count; ++i)
        ListBox2->addItem(wordAt(i));
    if (keep >= 0 && keep < ListBox2->count())
        ListBox2->setCurrentRow(keep);
    StatusPanel0->setText(QStringLiteral("%1 words").arg(MainDictionary.Count));
    ListBox2Click();
}

void TKelpaSpellChecker::ListBox2Click()
{
    const int row = ListBox2->currentRow();
    if (row >= 0)
        StatusPanel1->setText(QStringLiteral("Word %1/%2").arg(row + ScrollBar1->value() + 1).arg(MainDictionary.Count));
}

bool TKelpaSpellChecker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox2 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int row = ListBox2->currentRow();
        const int k = key->key();
        const bool ctrl = key->modifiers() & Qt::ControlModifier;
        bool handled = true;
        if (k == Qt::Key_Down && row == ListBox2->count() - 1)
            ScrollBar1->setValue(ScrollBar1->value() + 1);
        else if (k == Qt::Key_Up && row == 0)
            ScrollBar1->setValue(ScrollBar1->value() - 1);
        else if (k == Qt::Key_PageDown)
            ScrollBar1->setValue(ScrollBar1->value() + PageSize);
        else if (k == Qt::Key_PageUp)
            ScrollBar1->setValue(ScrollBar1->value() - PageSize);
        else if (k == Qt::Key_Home && ctrl)
            ScrollBar1->setValue(0);
        else if (k == Qt::Key_End && ctrl)
            ScrollBar1->setValue(ScrollBar1->maximum());
        else
            handled = false;
        if (handled)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TKelpaSpellChecker::Edit2Change()
{
    if (!Edit2->hasFocus() || MainDictionary.Count == 0 || Edit2->text().isEmpty())
        return;
    std::string typed;
    toBytes(Edit2->text(), typed);
    int lo = 0;
    int hi = MainDictionary.Count;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        const int c = AnsiStrComp(MainDictionary.WordAt(mid), typed);
        if (c == 0) {
            ScrollBar1->setValue(mid);
            ListBox2->setCurrentRow(0);
            return;
        }
        if (c < 0)
            lo = mid;
        else
            hi = mid;
    }
    // No hit: the page starts at the first word after the text.
    if (AnsiStrComp(MainDictionary.WordAt(lo), typed) >= 0)
        hi = lo;
    ScrollBar1->setValue(std::min(hi, ScrollBar1->maximum()));
    ListBox2->setCurrentRow(std::min(hi, MainDictionary.Count - 1) - ScrollBar1->value());
}

QString TKelpaSpellChecker::AskNewWord(const QString &caption, const QString &prompt, const QString &initial)
{
    QString last = initial;
    for (;;) {
        const std::optional<QString> answer = CurrentPrompter().input({caption, prompt, last, false, this});
        // Cancel ends the question, whatever was typed before.
        if (!answer)
            return {};
        const QString text = answer->trimmed();
        if (text == initial || text.isEmpty())
            return {};
        std::string bytes;
        if (!toBytes(dictionaryText(text), bytes) || !IsStorableWord(NormaliseWord(bytes))) {
            ShowMessage(QStringLiteral("\"%1\" cannot be stored in the dictionary").arg(text));
        } else if (MainDictionary.Find(bytes) != -1) {
            ShowMessage(QStringLiteral("\"%1\" already exists in the dictionary").arg(text));
        } else {
            return text;
        }
        last = text;
    }
}

void TKelpaSpellChecker::Btn_LemmaAddClick()
{
    const QString w = AskNewWord(QStringLiteral("New word"), QStringLiteral("Please, enter a new word"), QString());
    if (w.isEmpty())
        return;
    std::string bytes;
    toBytes(w, bytes);
    MainDictionary.Add(bytes);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_LemmaDelClick()
{
    const int row = ListBox2->currentRow();
    if (row < 0)
        return;
    const int i = row + ScrollBar1->value();
    if (!ConfirmYesNo(QStringLiteral("Do you really want to remove \"%1\"?").arg(wordAt(i)), this))
        return;
    MainDictionary.Delete(i);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_LemmaRenClick()
{
    const int row = ListBox2->currentRow();
    if (row < 0)
        return;
    const int i = row + ScrollBar1->value();
    const QString w = AskNewWord(QStringLiteral("Rename"), QStringLiteral("Word to change:"), wordAt(i));
    if (w.isEmpty())
        return;
    std::string bytes;
    toBytes(w, bytes);
    MainDictionary.Rename(i, bytes);
    UpdateWordList();
}

void TKelpaSpellChecker::Btn_NewDictionaryClick()
{
    if (!offerSave(QStringLiteral("Saving before to reset")))
        return;
    MainDictionary.Clear();
    RunDictionary.Clear();
    SavedModified = true;
    DictionaryName = QStringLiteral("*New");
    RunGuarded([this] { Btn_SaveDictionaryClick(); });
    refreshDictionaryList(DictionaryName);
    // The new dictionary stays loaded, listed or not.
    selectedDictionary_ = DictioSelection->findText(DictionaryName);
    {
        const QSignalBlocker block(DictioSelection);
        DictioSelection->setCurrentIndex(selectedDictionary_);
    }
    UpdateWordList();
}

QString TKelpaSpellChecker::askDictionaryName()
{
    QString initial = QStringLiteral("New.kpd");
    for (;;) {
        FileDialogRequest request;
        request.kind = FileDialogKind::Save;
        request.folder = HomeFolder;
        request.fileName = initial;
        request.filter = QStringLiteral("Dictionary Files (*.kpd)");
        // Asked below, about the file that is really written.
        request.confirmOverwrite = false;
        request.owner = this;
        const FileDialogResult chosen = CurrentPrompter().file(request);
        if (!chosen.accepted || chosen.file().isEmpty())
            return {};
        const QFileInfo info(chosen.file());
        QString name = info.fileName();
        if (!name.toLower().contains(QLatin1String(".kpd")))
            name += QStringLiteral(".kpd");
        initial = name;
        // Dictionaries are listed from one folder: one saved anywhere else would not be found.
        const QString folder = QDir(HomeFolder).absolutePath();
        const QString chosenFolder = info.isRelative() ? folder : QDir(info.absolutePath()).absolutePath();
        if (chosenFolder != folder
            && !ConfirmYesNo(QStringLiteral("Dictionaries are kept in \"%1\".\nDo you want to save \"%2\" there?")
                                 .arg(QDir::toNativeSeparators(folder), name),
                             this))
            continue;
        if (QFileInfo::exists(dictionaryFolder(name) + name)
            && !ConfirmYesNo(QStringLiteral("The dictionary \"%1\" already exists.\nDo you want to replace it?").arg(name),
                             this))
            continue;
        return name;
    }
}

bool TKelpaSpellChecker::Btn_SaveDictionaryClick()
{
    QString name = DictionaryName;
    bool replaceAgreed = false;
    if (name == QLatin1String("*New") || name.isEmpty()) {
        name = askDictionaryName();
        if (name.isEmpty())
            throw Abort();
        replaceAgreed = true;
    }
    // A file that holds more words than are about to replace them is not emptied unasked.
    const QString existing = dictionaryFolder(name) + name;
    if (!replaceAgreed && QFileInfo::exists(existing)) {
        TKPD onDisk;
        if (onDisk.LoadFromFile(existing.toStdString()) && onDisk.Count > MainDictionary.Count
            && !ConfirmYesNo(QStringLiteral("\"%1\" holds %2 words; saving replaces them with %3.\nDo you want to save it?")
                                 .arg(name)
                                 .arg(onDisk.Count)
                                 .arg(MainDictionary.Count),
                             this))
            return false;
    }
    // Dictionaries live in the program's own folder, whatever folder the dialog was in.
    errno = 0;
    if (!MainDictionary.SaveToFile((HomeFolder + name).toStdString())) {
        ShowErrorBox(QStringLiteral("Cannot save \"%1\" (%2)").arg(name, QString::fromStdString(MainDictionary.ErrorText())),
                     errno);
        return false;
    }
    DictionaryName = name;
    goodDictionary_ = name;
    StatusPanel0->setText(QStringLiteral("Saved"));
    // What is saved is what the pane's Cancel goes back to.
    if (inPane_) {
        RunDictionary.Assign(MainDictionary);
        SavedModified = false;
    }
    // A dictionary saved under a new name joins the selection.
    if (DictioSelection->findText(name) < 0) {
        refreshDictionaryList(name);
        selectedDictionary_ = DictioSelection->currentIndex();
    }
    return true;
}

} // namespace kelpa::spell
