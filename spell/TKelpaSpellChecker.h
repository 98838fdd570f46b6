#pragma once
// The spell checker's window: the text handed over by the editor, the checking run with its
// corrections and suggestions, and the dictionary pane.
#include "platform/WindowMessages.h"
#include "spell/TKPD.h"
#include "support/SteppedRun.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QToolButton;
class QWidget;

namespace kelpa::richedit {
class TRichEdit;
}

namespace kelpa::spell {

class TForm_Merge;
struct ScanOutcome;

class TKelpaSpellChecker : public QDialog {
    Q_OBJECT
public:
    // `merge` is the progress window of merges (not owned; may be null: one is made).
    explicit TKelpaSpellChecker(TForm_Merge *merge = nullptr, QWidget *parent = nullptr);
    ~TKelpaSpellChecker() override;

    // What the window is registered under; 0 when the message endpoint could not be made.
    platform::WindowHandle windowHandle() const;
    // A message as the message layer delivers it.
    void Dispatch(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam);

    // --- Protocol with the editor
    void WMCheckText(platform::WPARAM wParam, platform::LPARAM lParam);
    void WMCloseChecker();
    void Btn_OkClick();
    void Btn_CancelClick();

    // --- Checking run
    void Btn_CHKStartClick();
    void Btn_CHKIgnoreClick(); // the check step
    void Btn_CHKStopClick();
    void Btn_CHKIgnoreAllClick();
    void Btn_CHKAddClick();
    void Btn_CHKReplaceClick();
    void Btn_CHKReplaceAllClick();
    void Edit1Change();
    void ListBox1Click();

    // --- Dictionaries
    void DictioSelectionChange();
    void Btn_DictioEditClick();
    void Btn_OkDMClick();
    void Btn_CancelDMClick();
    void ScrollBar1Change();
    void ListBox2Click();
    void Edit2Change();
    void Btn_LemmaAddClick();
    void Btn_LemmaDelClick();
    void Btn_LemmaRenClick();
    void Btn_NewDictionaryClick();
    // False when the dictionary was not saved (dialog cancelled or the write failed).
    bool Btn_SaveDictionaryClick();
    void Btn_MergeFileClick();
    void Btn_FileSplitterClick();

    // --- State, for the program and its tests
    int TransferMode = 0;
    bool MisspellingMet = false;
    bool SavedModified = false;
    platform::WindowHandle EditorWindow = 0;
    QString DictionaryName;
    QString BaseCaption;
    QString HomeFolder;   // the exchange file and the dictionaries the user saves
    QString SettingsHome; // the settings file
    // Where a listed dictionary is: the user's own folder first, else the program folder.
    QString dictionaryFolder(const QString &file) const;
    TKPD MainDictionary;
    TKPD RunDictionary;
    bool FormShown = false;
    bool CheckPending = false;
    platform::PostedMessage PendingCheckMessage;
    // How long a scan, merge or split runs before the event loop has its turn; tests shorten it
    // so that a run outlasts one slice.
    int StepSliceMs = SteppedRun::kSliceMs;

    // Components, named as the window's resource names them.
    QWidget *Panel_Check = nullptr;
    QLineEdit *Edit1 = nullptr;
    QToolButton *Btn_CHKAdd = nullptr;
    QLabel *Label1 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QToolButton *Btn_CHKIgnore = nullptr;
    QToolButton *Btn_CHKReplace = nullptr;
    QToolButton *Btn_CHKIgnoreAll = nullptr;
    QToolButton *Btn_CHKReplaceAll = nullptr;
    QToolButton *Btn_CHKStart = nullptr;
    QToolButton *Btn_CHKStop = nullptr;
    QWidget *Panel_Text = nullptr;
    QComboBox *DictioSelection = nullptr;
    QToolButton *Btn_DictioEdit = nullptr;
    richedit::TRichEdit *RichEdit2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *PositionLabel = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    richedit::TRichEdit *RichEdit1 = nullptr;
    QWidget *Panel_DM = nullptr;
    QToolButton *Btn_LemmaAdd = nullptr;
    QToolButton *Btn_LemmaDel = nullptr;
    QToolButton *Btn_LemmaRen = nullptr;
    QToolButton *Btn_NewDictionary = nullptr;
    QToolButton *Btn_SaveDictionary = nullptr;
    QToolButton *Btn_MergeFile = nullptr;
    QToolButton *Btn_FileSplitter = nullptr;
    QLineEdit *Edit2 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QScrollBar *ScrollBar1 = nullptr;
    QPushButton *Btn_OkDM = nullptr;
    QPushButton *Btn_CancelDM = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QLabel *StatusPanel0 = nullptr;
    QLabel *StatusPanel1 = nullptr;

signals:
    // The window has closed (OK, Cancel, the editor's close or the user's).
    void closed();
    // OK put the text on the clipboard for `editor` to paste (0: no editor was told).
    void textLeftOnClipboard(kelpa::platform::WindowHandle editor);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Words the dictionary pane shows at a time.
    static constexpr int PageSize = 10;

    void setupComponents();
    void setupCheckActions();
    void setupDictionaryActions();
    void FormCreate();
    // Asks about a modified dictionary; false when the window is to stay open.
    bool FormCloseQuery();
    void FormClose();
    void closeWithoutAsking();

    void SetupRichEdit(richedit::TRichEdit *edit);
    void ShowWorkingText();
    void setCorrectionEnabled(bool on);
    void setProgress(long long done, long long total);
    bool runInProgress() const;
    // Asks whether to save a modified dictionary before it is replaced; false: keep it.
    bool offerSave(const QString &caption);

    void refreshDictionaryList(const QString &select);
    void UpdateWordList();
    void ListBox2KeyDown(int key, Qt::KeyboardModifiers shift);
    void setPaneShown(bool pane);
    QString AskNewWord(const QString &caption, const QString &prompt, const QString &initial);
    QString wordAt(int i) const;

    // Puts the working selection back on the word the run stopped on.
    void selectFoundWord();
    // The scan from `start` ended with `outcome` over the text `all`.
    void scanEnded(const ScanOutcome &outcome, long long start, const QString &all);
    // The name a new dictionary is saved under in the dictionary folder, asked with the save
    // dialog; an existing dictionary is replaced only when the user says so. Empty: cancelled.
    QString askDictionaryName();
    // Merges a word list (as TKPD::Merge takes it) into the dictionary and says how it went,
    // then calls `done`; a long list is read and sorted on a worker meanwhile.
    void mergeWordList(std::string list, std::function<void()> done);
    void applyMergeList(TKPD::MergeList words, const std::function<void()> &done);
    struct FoundWord {
        int start;
        int length;
    };
    std::optional<FoundWord> foundWord_;
    // The last dictionary that loaded, and those that did not: a dictionary that fails to load
    // is not the one kpsc.ini names for the next start.
    QString goodDictionary_;
    QStringList failedDictionaries_;
    QString rememberedDictionary() const;

    std::unique_ptr<platform::Window> window_;
    std::unique_ptr<TForm_Merge> ownMerge_;
    TForm_Merge *merge_ = nullptr;
    // The scan for the next unknown word, in steps from the event loop; stopped whenever the
    // working text or the run is replaced (a new text, Start, Stop, close).
    SteppedRun scanRun_;
    // A merge or a split, in steps from the event loop.
    SteppedRun fileRun_;
    bool textReady_ = false;
    bool closing_ = false;
    bool closeConfirmed_ = false;
    bool syncingSelection_ = false;
    bool inPane_ = false;
    int selectedDictionary_ = -1;
};

} // namespace kelpa::spell
