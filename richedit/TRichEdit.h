#pragma once
// TRichEdit: the page editor, a rich-text control on QTextEdit with the operations the editor,
// the print module and the spell checker use.
//
//   auto *edit = new TRichEdit(sheet);
//   edit->SetWantTabs(true); edit->SetScrollBars(TScrollStyle::Both);
//   edit->SetHideSelection(false); edit->SetWordWrap(false);
//   connect(edit, &TRichEdit::Change, this, &TForm1::RichEdit1Change);  // events are signals
//   connect(edit, &TRichEdit::SelectionChange, this, [this] { ... });
//   edit->SetPlainText(false);                                // rich mode streams RTF
//   edit->LoadFromFile(path);                                 // or LoadFromStream(bytes)
//   edit->SetSelStart(0); edit->SetSelLength(5); edit->SelAttributes().SetStyle(TFontStyle::Bold);
//   edit->Paragraph().SetAlignment(TAlignment::Center);
//   QByteArray rtf = edit->SaveToStream();                    // RTF in rich, CR LF lines in plain
//
// Positions: every character counts one, a paragraph break counts one ('\n' in Text()), a line
// break inside a paragraph counts one ('\v' in Text()). SelStart, FindText, LineIndex and
// FormatRange all use these positions. "Lines" are paragraphs, whatever the word wrap; a plain
// page has no breaks inside paragraphs, so there every line break ends a line ('\n' in Text()).
// (Internally a plain page holds long texts in paragraphs of many lines, which keeps typing in
// a 10 MB page fast, and a very long line in several paragraphs, each break standing for a
// space or tab of the line, which keeps typing in it fast; callers see lines only.)
//
// Streams: LoadFromStream in rich mode reads RTF when the data begins "{\rtf", otherwise plain
// text; in plain mode it always reads plain text. Plain text is decoded by the code-page rule
// (UTF-8 when valid, else Windows-1252) and saved back in the encoding it came in (Encoding()).
//
// Colours are QColor; an invalid QColor() stands for the window text colour (clWindowText).
// Font sizes and paragraph indents are in points.
#include "richedit/PageLines.h"
#include "richedit/TRichEditAttributes.h"
#include "richedit/TRichEditLines.h"
#include "platform/codepage/CodePage.h"

#include <QColor>
#include <QFlags>
#include <QTextEdit>
#include <QTextCursor>

#include <memory>
#include <string_view>
#include <vector>

class QMenu;
class QPainter;

namespace kelpa::rtf {
struct Document;
}

namespace kelpa::richedit {


// Rectangle in twips, edges as a device rectangle has them (right and bottom exclusive).
struct TTwipsRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One range-formatting request: lay out [cpMin, cpMax) into rc on a device of dpiX x dpiY.
// painter: where to draw, in device pixels of that device (nullptr only measures).
// cpMax -1: to the end of the text.
struct TFormatRange {
    QPainter *painter = nullptr;
    int dpiX = 0;
    int dpiY = 0;
    TTwipsRect rc;
    TTwipsRect rcPage;
    int cpMin = 0;
    int cpMax = -1;
};

class TRichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TRichEdit(QWidget *parent = nullptr);
    ~TRichEdit() override;

    // --- Streams of a plain page: its lines, every one ended by CR LF, in an encoding.
    struct PlainBytes {
        QByteArray bytes;
        // The encoding written: the one asked for unless Windows-1252 cannot hold the text,
        // which is then written as UTF-8 rather than losing characters.
        kelpa::codepage::TextEncoding encoding;
    };
    static PlainBytes EncodePlainPage(const QString &lines, kelpa::codepage::TextEncoding wanted);

    // A plain page holds a line longer than this many characters in pieces of about this
    // length, split at a space or tab, else at an ASCII punctuation mark (a line with neither
    // stays whole). For tests; it counts for what comes in afterwards.
    void SetPieceLength(int characters) { pages_.SetPieceLength(characters); }
    int PieceLength() const { return pages_.PieceLength(); }

    // --- Mode and state
    bool PlainText() const { return plainText_; }
    void SetPlainText(bool plain);
    bool Modified() const;
    void SetModified(bool modified);
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool readOnly) { setReadOnly(readOnly); }
    bool WordWrap() const;
    void SetWordWrap(bool wrap);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool hide);
    bool WantTabs() const { return !tabChangesFocus(); }
    void SetWantTabs(bool want) { setTabChangesFocus(!want); }
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle style);
    // The text limit: the control holds any length; kept only so callers can set it.
    void SetTextLimit(qint64 limit) { textLimit_ = limit; }
    qint64 TextLimit() const { return textLimit_; }
    // The formatting rectangle in client coordinates, as a device rectangle gives it (right
    // and bottom exclusive): the space between it and the client edges stays empty.
    void SetRect(int left, int top, int right, int bottom);
    void SetRect(const QRect &rect) { SetRect(rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()); }
    QRect ClientRect() const;
    QMenu *PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu *menu) { popupMenu_ = menu; }

    // --- Text
    QString Text() const;
    void SetText(const QString &text);
    int TextLength() const; // in positions, without building the text
    void Clear();           // text, formatting and the modified flag
    TRichEditLines &Lines() { return lines_; }
    const TRichEditLines &Lines() const { return lines_; }
    // Undoes the last step; a step that changed only formatting leaves the selection where it
    // was (the text under it is the same).
    void Undo();
    bool CanUndo() const;

    // --- Streams and files (bytes as they are stored)
    void LoadFromStream(const QByteArray &bytes);
    void LoadFromStream(std::string_view bytes);
    // RTF in rich mode; in plain mode the lines in Encoding(), or UTF-8 when Windows-1252
    // cannot hold them (Encoding() stays: the page is in another encoding only once a file
    // holds it).
    QByteArray SaveToStream() const;
    // The lines as a plain page writes them, whatever the mode.
    PlainBytes PlainStream() const;
    bool LoadFromFile(const QString &fileName);
    // Temporary file, then rename; a plain page takes the encoding written.
    bool SaveToFile(const QString &fileName);
    kelpa::codepage::TextEncoding Encoding() const { return encoding_; }
    // What the last RTF loaded held that the page cannot (rtf::Omitted flags; 0 for none).
    unsigned OmittedParts() const { return omitted_; }
    void SetEncoding(kelpa::codepage::TextEncoding encoding) { encoding_ = encoding; }

    // --- Selection and caret
    int SelStart() const;
    void SetSelStart(int position);  // caret there, nothing selected
    int SelLength() const;
    void SetSelLength(int length);   // selects from SelStart on, clamped to the text
    QString SelText() const;
    void SetSelText(const QString &text); // replaces the selection; caret after the new text
    void SelectAll();
    void ScrollCaret();              // caret into view
    int LineFromChar(int position) const;  // -1: the caret's line
    int LineIndex(int line) const;         // first position of a line; -1: the caret's line;
                                           // a line past the end gives -1
    int LineLength(int line) const;        // without its break; -1 for a line past the end
    int CharFromPos(const QPoint &clientPoint) const;

    // --- Attributes
    TTextAttributes &SelAttributes() { return selAttributes_; }
    TTextAttributes &DefAttributes() { return defAttributes_; }
    TParaAttributes &Paragraph() { return paragraph_; }

    // --- Clipboard: RTF (text/rtf) and text/plain out; RTF in when present in rich mode.
    void CopyToClipboard() { copy(); }
    void CutToClipboard() { cut(); }
    void PasteFromClipboard() { paste(); }

    // --- Find: position of the first hit in [start, start + length), or -1.
    int FindText(const QString &text, int start, int length, TSearchTypes options) const;

    // --- Range formatting for printing. Returns the first position that did not fit (the text
    // length when everything did). Always places at least one line. Measuring and drawing with
    // the same request give the same result; a null request drops the cached layout.
    int FormatRange(const TFormatRange *range, bool render);

    // --- The document model, for the print module and tests.
    kelpa::rtf::Document ToDocument(int start = 0, int end = -1) const;
    void FromDocument(const kelpa::rtf::Document &document);

signals:
    // Events of the page editor, as many listeners as like. The key events pass their key by
    // reference: a listener connected directly (the default within one thread) may change it,
    // 0 swallowing the key; queued connections see a copy and cannot.
    void Change();          // text or formatting changed
    void SelectionChange(); // caret or selection moved
    // key: a Qt::Key value.
    void KeyDown(int &key, Qt::KeyboardModifiers shift);
    void KeyUp(int &key, Qt::KeyboardModifiers shift);
    // A typed character (after key-down, before the control inserts it); 0 swallows it.
    void KeyPress(QChar &key);
    // pos: in client coordinates (the formatting rectangle's).
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    friend class TTextAttributes;
    friend class TParaAttributes;
    friend class TRichEditLines;
    class Printer;

    void insertPlain(QTextCursor &cursor, const QString &text);
    void applyShaping();
    // Lines: paragraphs, and on a plain page also the line separators that hold long texts
    // together in fewer paragraphs (the text engine's work per keystroke grows with the
    // number of paragraphs after the caret).
    int lineTotal() const;
    int lineAt(int position) const;
    bool lineSpan(int line, int &start, int &end) const; // end: before the line's break
    QString spanText(int start, int end) const;          // as Text() has it

    bool plainText_ = false;
    bool hideSelection_ = true;
    TScrollStyle scrollBars_ = TScrollStyle::Both;
    qint64 textLimit_ = 0x7FFFFFFF;
    QMenu *popupMenu_ = nullptr;
    QColor defaultColor_;
    // Plain pages: long lines in pieces and the line index.
    kelpa::richedit::PageLines pages_{document()};
    int lastAnchor_ = 0;
    int lastPosition_ = 0;
    kelpa::codepage::TextEncoding encoding_ = kelpa::codepage::TextEncoding::Utf8;
    unsigned omitted_ = 0;
    TRichEditLines lines_{this};
    TTextAttributes selAttributes_{this, false};
    TTextAttributes defAttributes_{this, true};
    TParaAttributes paragraph_{this};
    std::unique_ptr<Printer> printer_;
};

} // namespace kelpa::richedit
