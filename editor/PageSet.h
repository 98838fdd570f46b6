#pragma once
// The editor's open documents without the window: the 16 page slots, the engine object, and
// reading a document into a page's editor and writing a page back, results as values. The
// window (TForm1) keeps the widgets, the actions and every prompt; it tells the page set when
// a page opens, is saved or closes, and listens to the set's signals.
#include "editor/PageTable.h"
#include "engine/TOBRINEngine.h"
#include "platform/safefile/SafeFile.h"
#include "support/documents/Documents.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kelpa::editor {

class PageSet : public QObject {
    Q_OBJECT
public:
    explicit PageSet(QObject *parent = nullptr);

    PageTable &table() { return table_; }
    const PageTable &table() const { return table_; }
    TOBRINEngine &engine() { return engine_; }

    // Reads the document at path into the slot's editor by its name's kind: a text file as it
    // is, an encrypted document with password (the page takes its kind and password). The page
    // is unchanged when reading fails; nothing is shown. A plain file keeps its line ends for
    // its saves, so that a page saved unedited gives its bytes back.
    documents::ReadResult read(int slot, const QString &path, const QString &password);
    // Reads the slot's encrypted document again with password.
    documents::ReadResult reread(int slot, const QString &password);

    struct WriteResult {
        documents::DocumentError error;
        bool movedToUtf8 = false; // a plain file moved to UTF-8 to hold the page's text
    };
    // Writes the slot's page to its file in its kind; an encrypted page of the current version
    // with `cipher`. The page's encoding follows what was written; a plain page is written in
    // the line form of its file (LF for a new page, or one made from another kind), and the
    // lines an edit did not touch keep the file's own line ends.
    WriteResult write(int slot, std::uint8_t cipher);

    // What became of the slot's file since the page read or wrote it; None for a page that has
    // not been read from or written to its present name.
    documents::FileChange diskChange(int slot) const;
    // Copies of old content that saves which did not finish left behind, each once a run.
    std::vector<LeftCopy> newLeftCopies();

    // The window's reports of what became of a page; each emits its signal.
    void opened(int slot, const QString &path);
    void saved(int slot);
    void closing(int slot);

signals:
    void pageAdded(int slot);
    // Saved, or its modified state changed.
    void pageChanged(int slot);
    // About to be released; the slot's record still holds the page.
    void pageClosing(int slot);

private:
    struct DiskFile {
        QString path;
        documents::FileIdentity identity;
    };
    void remember(int slot, const QString &path);

    PageTable table_;
    TOBRINEngine engine_;
    std::array<DiskFile, kPageCount> disk_;
    std::set<std::string> reportedCopies_;
};

} // namespace kelpa::editor
