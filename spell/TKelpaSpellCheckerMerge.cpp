// Merge File (words of a text or of another dictionary into this one) and File Splitter
// (a large text into slices small enough to check).
#include "spell/TKelpaSpellChecker.h"

#include "spell/CheckerFiles.h"
#include "spell/TForm_Merge.h"
#include "spell/TKPD.h"
#include "spell/WordFiles.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "platform/safefile/SafeFile.h"

#include <cerrno>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>

namespace kelpa::spell {

namespace {

// The slice file is new: written through a temporary file all the same, so a failed write
// leaves nothing half-written under its name.
bool writeWholeFile(const std::string &name, std::string_view bytes)
{
    SafeFileWriter writer(name);
    return writer.isOpen() && writer.write(bytes.data(), bytes.size()) && writer.commit();
}

} // namespace

void TKelpaSpellChecker::Btn_MergeFileClick()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.caption = QStringLiteral("Merge - Please choose a file");
    request.filter = QStringLiteral("Text Files (*.txt *.TXT);;Kelpa Dictionary Files (*.kpd *.KPD);;All files (*)");
    request.owner = this;
    const FileDialogResult chosen = CurrentPrompter().file(request);
    if (!chosen.accepted || chosen.file().isEmpty())
        return;
    const QString file = chosen.file();
    ExtractedWords words;
    bool haveList = false;
    setEnabled(false);
    merge_->begin(windowTitle(), QStringLiteral("Extracting words..."));
    struct Restore {
        TKelpaSpellChecker *form;
        ~Restore()
        {
            form->merge_->hide();
            form->setEnabled(true);
            form->UpdateWordList();
        }
    } restore{this};
    if (file.toLower().endsWith(QLatin1String(".kpd"))) {
        merge_->show();
        merge_->raise();
        TKPD other;
        if (other.LoadFromFile(file.toStdString())) {
            words.list = other.WordList();
            haveList = true;
        } else {
            ShowMessage(QString::fromStdString(other.ErrorText()));
        }
    } else {
        const bool ignoreProperNouns = ConfirmYesNo(
            QStringLiteral("Do you want to ignore proper nouns and any words beginning with uppercase character?"), this);
        merge_->show();
        merge_->raise();
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            ShowErrorBox(QStringLiteral("Cannot open %1").arg(file), errno);
            return;
        }
        const QByteArray bytes = in.readAll();
        words = ExtractWords(TextFileToCheckBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))),
                             ignoreProperNouns, [this](int percent) { return merge_->step(percent); });
        haveList = !words.cancelled;
    }
    if (!haveList)
        return;
    const int n0 = MainDictionary.Count;
    merge_->Label1->setText(QStringLiteral("Merging and sorting..."));
    merge_->ProgressBar1->setValue(0);
    QApplication::processEvents();
    if (merge_->cancelled())
        return;
    if (!MainDictionary.Merge(words.list, [this](int percent) {
            merge_->ProgressBar1->setValue(percent);
            QApplication::processEvents();
        })) {
        ShowMessage(QStringLiteral("DataIndex %1/%2 unavailable: %3")
                        .arg(MainDictionary.Count)
                        .arg(MainDictionary.IndexCapacity)
                        .arg(QString::fromStdString(MainDictionary.Name)));
        return;
    }
    ShowMessage(QStringLiteral("%1 new words found").arg(MainDictionary.Count - n0));
}

void TKelpaSpellChecker::Btn_FileSplitterClick()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.caption = QStringLiteral("Please choose a file to split");
    request.filter = QStringLiteral("Text Files (*.txt *.TXT)");
    request.owner = this;
    const FileDialogResult chosen = CurrentPrompter().file(request);
    if (!chosen.accepted || chosen.file().isEmpty())
        return;
    const QString file = chosen.file();
    StatusPanel0->setText(QStringLiteral("Loading..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        const int error = errno;
        QApplication::restoreOverrideCursor();
        ShowErrorBox(file, error);
        return;
    }
    const QByteArray bytes = in.readAll();
    in.close();
    setEnabled(false);
    merge_->begin(windowTitle(), QStringLiteral("Splitting..."));
    merge_->show();
    const std::string source = file.toStdString();
    QString failedSlice;
    int failure = 0;
    const SplitOutcome outcome = SplitText(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        [&](int number, std::string_view slice) {
            StatusPanel0->setText(QStringLiteral("Saving slice %1...").arg(number - 1));
            QApplication::processEvents();
            const std::string name = SliceFileName(source, number);
            errno = 0;
            if (writeWholeFile(name, slice))
                return true;
            failure = errno;
            failedSlice = QString::fromStdString(name);
            return false;
        },
        [this](int percent) { return merge_->step(percent); });
    merge_->hide();
    setEnabled(true);
    QApplication::restoreOverrideCursor();
    if (outcome.failed)
        ShowErrorBox(QStringLiteral("Cannot Save \"%1\"").arg(QDir::toNativeSeparators(failedSlice)), failure);
    ShowMessage(QStringLiteral("%1 file(s) have been created.").arg(outcome.written));
}

} // namespace kelpa::spell
