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
#include <QFutureWatcher>
#include <QProgressBar>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <functional>
#include <memory>

namespace kelpa::spell {

namespace {

// Lists longer than this are read and sorted on a worker.
constexpr std::size_t LargeMergeList = 1 << 20;

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
    // What the steps work on: the text's bytes, the words taken from them so far, the list.
    struct Work {
        std::string text;
        std::unique_ptr<WordExtractor> extractor;
        std::string list;
        bool haveList = false;
    };
    const auto work = std::make_shared<Work>();
    setEnabled(false);
    merge_->begin(windowTitle(), QStringLiteral("Extracting words..."));
    const auto restore = [this] {
        merge_->hide();
        setEnabled(true);
        UpdateWordList();
    };
    if (file.toLower().endsWith(QLatin1String(".kpd"))) {
        merge_->show();
        merge_->raise();
        TKPD other;
        if (other.LoadFromFile(file.toStdString())) {
            work->list = other.WordList();
            work->haveList = true;
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
            restore();
            return;
        }
        const QByteArray bytes = in.readAll();
        work->text = TextFileToCheckBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        work->extractor = std::make_unique<WordExtractor>(work->text, ignoreProperNouns);
    }
    fileRun_.startNow(
        [this, work] {
            if (!work->extractor)
                return false;
            if (work->extractor->step())
                return merge_->step(work->extractor->percent());
            work->list = work->extractor->take().list;
            work->extractor.reset();
            work->haveList = true;
            return false;
        },
        [this, work, restore] {
            if (work->haveList)
                mergeWordList(std::move(work->list), restore);
            else
                restore();
        },
        StepSliceMs);
}

void TKelpaSpellChecker::mergeWordList(std::string list, std::function<void()> done)
{
    merge_->Label1->setText(QStringLiteral("Merging and sorting..."));
    merge_->ProgressBar1->setValue(0);
    merge_->repaint();
    if (list.size() < LargeMergeList) {
        applyMergeList(TKPD::PrepareMerge(list,
                                          [this](int percent) {
                                              merge_->ProgressBar1->setValue(percent);
                                              merge_->ProgressBar1->repaint();
                                          }),
                       done);
        return;
    }
    // A long list is read and sorted on a worker, the window answering meanwhile; a Cancel ends
    // the merge at once and what the worker makes is left unused.
    auto percent = std::make_shared<std::atomic<int>>(0);
    auto *watcher = new QFutureWatcher<TKPD::MergeList>(this);
    auto *poll = new QTimer(watcher);
    connect(poll, &QTimer::timeout, watcher, [this, percent, watcher, poll, done] {
        if (merge_->step(percent->load()))
            return;
        poll->stop();
        watcher->disconnect(this);
        watcher->deleteLater();
        done();
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, poll, done] {
        poll->stop();
        watcher->deleteLater();
        applyMergeList(watcher->result(), done);
    });
    watcher->setFuture(QtConcurrent::run([list = std::move(list), percent] {
        return TKPD::PrepareMerge(list, [&percent](int p) { percent->store(p); });
    }));
    poll->start(50);
}

void TKelpaSpellChecker::applyMergeList(TKPD::MergeList words, const std::function<void()> &done)
{
    if (merge_->cancelled()) {
        done();
        return;
    }
    const int n0 = MainDictionary.Count;
    // The store changes in one go; the bar is drawn as it moves.
    if (!MainDictionary.ApplyMerge(std::move(words), [this](int percent) {
            merge_->ProgressBar1->setValue(percent);
            merge_->ProgressBar1->repaint();
        })) {
        ShowMessage(QStringLiteral("DataIndex %1/%2 unavailable: %3")
                        .arg(MainDictionary.Count)
                        .arg(MainDictionary.IndexCapacity)
                        .arg(QString::fromStdString(MainDictionary.Name)));
    } else {
        ShowMessage(QStringLiteral("%1 new words found").arg(MainDictionary.Count - n0));
    }
    done();
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
    struct Work {
        QByteArray bytes;
        std::string source;
        QString failedSlice;
        int failure = 0;
        std::unique_ptr<TextSplitter> splitter;
    };
    const auto work = std::make_shared<Work>();
    work->bytes = in.readAll();
    in.close();
    work->source = file.toStdString();
    setEnabled(false);
    merge_->begin(windowTitle(), QStringLiteral("Splitting..."));
    merge_->show();
    // The writer holds the work weakly: the work holds the splitter, which holds the writer.
    const std::weak_ptr<Work> weak = work;
    work->splitter = std::make_unique<TextSplitter>(
        std::string_view(work->bytes.constData(), static_cast<std::size_t>(work->bytes.size())),
        [this, weak](int number, std::string_view slice) {
            const std::shared_ptr<Work> w = weak.lock();
            StatusPanel0->setText(QStringLiteral("Saving slice %1...").arg(number - 1));
            const std::string name = SliceFileName(w->source, number);
            errno = 0;
            if (writeWholeFile(name, slice))
                return true;
            w->failure = errno;
            w->failedSlice = QString::fromStdString(name);
            return false;
        });
    fileRun_.startNow(
        [this, work] { return work->splitter->step() && merge_->step(work->splitter->percent()); },
        [this, work] {
            const SplitOutcome outcome = work->splitter->outcome();
            merge_->hide();
            setEnabled(true);
            QApplication::restoreOverrideCursor();
            if (outcome.failed)
                ShowErrorBox(QStringLiteral("Cannot Save \"%1\"").arg(QDir::toNativeSeparators(work->failedSlice)), work->failure);
            ShowMessage(QStringLiteral("%1 file(s) have been created.").arg(outcome.written));
        },
        StepSliceMs);
}

} // namespace kelpa::spell
