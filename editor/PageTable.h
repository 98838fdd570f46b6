#pragma once
// The editor's fixed table of 16 pages: slot search, untitled names, kinds by extension and the
// "already loaded" test. Widgets are referenced, not owned, so the table runs without a window.
#include "editor/Names.h"
#include "support/documents/Documents.h"

#include <QByteArray>
#include <QString>
#include <array>

class QWidget;

namespace kelpa::editor {

inline constexpr int kPageCount = 16;
inline constexpr int kBookmarkCount = 10;

using PageKind = documents::DocumentKind;

// What a new untitled page is made for; decides its extension.
enum class NewPageKind { Rich, Plain, Encrypted, Batch };

struct PageRecord {
    TRichEdit *Editor = nullptr;
    QWidget *Sheet = nullptr;
    QString FileName; // empty = free; "*name" = untitled; else the full path
    QString Password;
    PageKind Kind = PageKind::Plain;
    std::array<int, kBookmarkCount> Bookmarks{};
    int InsertMode = 1; // 1 insert, 0 overwrite
    bool InUse = false;
    // A legacy document (or a block stored uncompressed) cannot tell a wrong password: its page
    // stays read-only until the user confirms the text or enters the password again.
    bool PasswordUnconfirmed = false;
    // A plain file's line ends, kept for its saves; a new page and a page of another kind
    // take LF.
    documents::LineForm LineEnds;
    // The file's bytes, where its line ends cannot come back from LineEnds alone (mixed line
    // ends, lone CRs, U+2028): the lines a save has not changed keep them.
    QByteArray OddLineEnds;

    PageRecord() { Bookmarks.fill(-1); }
    bool isFree() const { return FileName.isEmpty(); }
    bool isUntitled() const { return FileName.startsWith(QLatin1Char('*')); }
};

class PageTable {
public:
    std::array<PageRecord, kPageCount> pages;
    int CurrentPage = -1;
    int UntitledCounter = 1;

    PageRecord &operator[](int slot) { return pages.at(static_cast<std::size_t>(slot)); }
    const PageRecord &operator[](int slot) const { return pages.at(static_cast<std::size_t>(slot)); }

    // Lowest free slot, or -1 when all 16 are open.
    int FindFreePage() const;
    // Slot that already holds the file at path (see isSameFile), or -1. Untitled names are never
    // "already loaded".
    int findLoaded(const QString &path) const;
    // Lowest open slot, or -1.
    int firstOpenPage() const;
    int openCount() const;
    // "*untitled", "*untitled(2)", ... with the extension of the kind; advances the counter.
    QString nextUntitledName(NewPageKind kind);
};

bool isUntitledName(const QString &path);
// Whether two paths name one file: the same file when both exist (device and inode, so links,
// "." and ".." do not matter), else the same absolute clean path with links resolved. Names are
// compared with their case, as the file system does.
bool isSameFile(const QString &a, const QString &b);
// The part after the last folder separator.
QString fileNamePart(const QString &path);
// The folder part, with its trailing separator; empty when the name has none.
QString folderPart(const QString &path);
// ".ext" of the file-name part as written (last dot on), empty when there is none.
QString extensionOf(const QString &path);
// ".ECO", ".RTF", ".WRI", ".DOC" (any case) open in rich-text mode; everything else as plain.
using documents::opensAsRich;
using documents::isEncryptedName;
bool isBatchName(const QString &path);
// Kind of a document read through the engine: legacy when its version text is not greater
// than "3.0" in a byte-wise comparison.
using documents::encryptedKindForVersion;
// Doubles every "&" so that a name shows literally in a tab or menu caption.
QString EscapeMenuCaption(const QString &text);
// The text a menu caption shows: mnemonic markers gone, "&&" as "&" (for window titles, which
// show no mnemonics).
QString MenuCaptionText(const QString &caption);

} // namespace kelpa::editor
