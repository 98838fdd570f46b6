#include "richedit/TRichEdit.h"

#include "richedit/PieceBreak.h"
#include "richedit/PlainPageLayout.h"
#include "richedit/TRichEditConvert.h"
#include "richedit/TRichEditPrinter.h"
#include "richedit/rtf/RtfReader.h"
#include "richedit/rtf/RtfWriter.h"
#include "platform/safefile/SafeFile.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextList>

#include <cmath>

namespace kelpa::richedit {

namespace {

constexpr char kRtfMime[] = "text/rtf";
constexpr char kRtfMimeAlt[] = "application/rtf";

// Line breaks as the control keeps them: "\r\n", "\r" and "\n" are one paragraph break; '\v'
// (and U+2028) a line break inside the paragraph, or a paragraph break in plain mode.
QString normalizeBreaks(const QString &text, bool plain)
{
    QString out;
    out.reserve(text.size());
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c == u'\r') {
            if (i + 1 < n && p[i + 1] == u'\n')
                ++i;
            out += QChar(u'\n');
        } else if (c == u'\v' || c == 0x2028) {
            out += plain ? QChar(u'\n') : QChar(QChar::LineSeparator);
        } else if (c == 0x2029) {
            out += QChar(u'\n');
        } else {
            out += p[i];
        }
    }
    return out;
}

bool needsNormalizing(const QString &text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\v' || u == 0x2028 || u == 0x2029)
            return true;
    }
    return false;
}

// The control's positions as text: paragraph breaks '\n', line breaks '\v' (on a plain page
// every line separator ends a line, so '\n' too).
QString positionsText(QString raw, bool plain)
{
    const QChar lineBreak = plain ? QChar(u'\n') : QChar(u'\v');
    for (QChar &c : raw) {
        if (c.unicode() == 0x2029)
            c = QChar(u'\n');
        else if (c.unicode() == 0x2028)
            c = lineBreak;
    }
    return raw;
}

// A plain page keeps this many lines in one paragraph when a long text comes in at once.
constexpr int kLinesPerParagraph = 64;

// Long texts (already with '\n' breaks only): all but every kLinesPerParagraph-th break
// become line separators.
void groupLines(QString &text)
{
    if (text.count(QChar(u'\n')) < kLinesPerParagraph)
        return;
    int seen = 0;
    for (QChar &c : text)
        if (c == u'\n' && ++seen % kLinesPerParagraph != 0)
            c = QChar(QChar::LineSeparator);
}

} // namespace

// ---------------------------------------------------------------- TRichEdit

TRichEdit::TRichEdit(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    // Paragraphs run left to right unless told otherwise, as the platform's control has them;
    // it also spares the text engine a scan of every paragraph for its direction.
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    document()->setDefaultTextOption(option);
    setTabChangesFocus(true);
    SetHideSelection(true);
    connect(this, &QTextEdit::textChanged, this, &TRichEdit::Change);
    auto selectionMoved = [this] {
        const QTextCursor c = textCursor();
        if (c.anchor() == lastAnchor_ && c.position() == lastPosition_)
            return;
        lastAnchor_ = c.anchor();
        lastPosition_ = c.position();
        emit SelectionChange();
    };
    connect(this, &QTextEdit::cursorPositionChanged, this, selectionMoved);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int from, int, int added) { pages_.NoteChange(from, added); });
    connect(this, &QTextEdit::selectionChanged, this, selectionMoved);
}

TRichEdit::~TRichEdit()
{
    // The base classes outlive our members; nothing they emit on the way out may reach them.
    QObject::disconnect(document(), nullptr, this, nullptr);
    QObject::disconnect(this, nullptr, this, nullptr);
}

void TRichEdit::SetPlainText(bool plain)
{
    if (plainText_ && !plain && (pages_.HasPieces() || document()->toRawText().contains(QChar(QChar::LineSeparator)))) {
        // The lines a plain page holds together become paragraphs of their own.
        const bool modified = Modified();
        const QString text = Text();
        setPlainText(text);
        SetModified(modified);
    }
    plainText_ = plain;
    pages_.SetHasPieces(pages_.HasPieces() && plain);
    pages_.Forget();
    setAcceptRichText(!plain);
    applyShaping();
    // A plain page lays out only what is shown, so that an edit costs what it touches; rich
    // pages keep Qt's layout (a null layout makes the document create Qt's again).
    const bool ours = qobject_cast<PlainPageLayout *>(document()->documentLayout()) != nullptr;
    if (plain && !ours) {
        auto *layout = new PlainPageLayout(document());
        connect(layout, &PlainPageLayout::heightAboveChanged, this, [this](qreal dy) {
            QScrollBar *bar = verticalScrollBar();
            bar->setValue(bar->value() + static_cast<int>(std::lround(dy)));
        });
        document()->setDocumentLayout(layout);
    }
    else if (!plain && ours)
        document()->setDocumentLayout(nullptr);
}

void TRichEdit::applyShaping()
{
    // A plain page draws its text unshaped where the script allows it (no kerning, no
    // ligatures): shaping is most of the text engine's work on every edit of a long line.
    QFont f = document()->defaultFont();
    const int old = f.styleStrategy();
    const int wanted = plainText_ ? (old | QFont::PreferNoShaping) : (old & ~QFont::PreferNoShaping);
    if (wanted == old)
        return;
    f.setStyleStrategy(static_cast<QFont::StyleStrategy>(wanted));
    document()->setDefaultFont(f);
}

bool TRichEdit::Modified() const
{
    return document()->isModified();
}

void TRichEdit::SetModified(bool modified)
{
    document()->setModified(modified);
}

bool TRichEdit::WordWrap() const
{
    return lineWrapMode() != QTextEdit::NoWrap;
}

void TRichEdit::SetWordWrap(bool wrap)
{
    setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TRichEdit::SetHideSelection(bool hide)
{
    hideSelection_ = hide;
    // Without focus the selection shows in the focused colours, or not at all.
    QPalette p = palette();
    if (hide) {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(p);
}

void TRichEdit::SetScrollBars(TScrollStyle style)
{
    scrollBars_ = style;
    const bool h = style == TScrollStyle::Horizontal || style == TScrollStyle::Both;
    const bool v = style == TScrollStyle::Vertical || style == TScrollStyle::Both;
    setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

QRect TRichEdit::ClientRect() const
{
    const QMargins m = viewportMargins();
    return QRect(0, 0, viewport()->width() + m.left() + m.right(),
                 viewport()->height() + m.top() + m.bottom());
}

void TRichEdit::SetRect(int left, int top, int right, int bottom)
{
    const QRect client = ClientRect();
    setViewportMargins(std::max(0, left), std::max(0, top), std::max(0, client.width() - right),
                       std::max(0, client.height() - bottom));
}

// ---- text

QString TRichEdit::Text() const
{
    QString raw = document()->toRawText();
    pages_.Restore(raw, 0);
    return positionsText(std::move(raw), plainText_);
}

void TRichEdit::SetText(const QString &text)
{
    QTextCursor c(document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    pages_.SetHasPieces(false);
    insertPlain(c, text);
    c.endEditBlock();
    setTextCursor(c);
}

int TRichEdit::TextLength() const
{
    return document()->characterCount() - 1;
}

void TRichEdit::Clear()
{
    clear();
    pages_.SetHasPieces(false);
    setCurrentCharFormat(QTextCharFormat());
    document()->setModified(false);
}

void TRichEdit::Undo()
{
    // A step that changed formats (or replaced text by as much text) leaves the selection where
    // it was; the control alone would put the caret where the step began.
    const QTextCursor before = textCursor();
    bool sameLengths = true;
    const QMetaObject::Connection watch = connect(document(), &QTextDocument::contentsChange, this,
                                                  [&sameLengths](int, int removed, int added) {
                                                      if (removed != added)
                                                          sameLengths = false;
                                                  });
    undo();
    disconnect(watch);
    if (!sameLengths)
        return;
    const int end = document()->characterCount() - 1;
    QTextCursor keep(document());
    keep.setPosition(std::min(before.anchor(), end));
    keep.setPosition(std::min(before.position(), end), QTextCursor::KeepAnchor);
    setTextCursor(keep);
}

bool TRichEdit::CanUndo() const
{
    return document()->isUndoAvailable();
}

void TRichEdit::insertPlain(QTextCursor &cursor, const QString &text)
{
    // A new paragraph takes the format of the one it comes from: in a piece, every line break
    // would become another piece.
    const bool inPiece = pages_.HasPieces() && piecebreak::before(cursor.block()) != 0;
    if (!needsNormalizing(text) && !(inPiece && text.contains(QChar(u'\n'))) &&
        !(plainText_ && (text.size() > pages_.PieceLength() || text.count(QChar(u'\n')) >= kLinesPerParagraph))) {
        cursor.insertText(text);
        return;
    }
    QString normal = normalizeBreaks(text, plainText_);
    std::vector<richedit::PageLines::Break> breaks;
    if (plainText_) {
        breaks = pages_.Split(normal);
        groupLines(normal);
    }
    if (breaks.empty() && !inPiece) {
        cursor.insertText(normal);
        return;
    }
    std::vector<char16_t> stands;
    stands.reserve(breaks.size());
    for (const richedit::PageLines::Break &b : breaks)
        stands.push_back(b.stands);
    pages_.InsertPieces(cursor, normal, stands);
}

int TRichEdit::lineTotal() const
{
    if (!plainText_)
        return document()->blockCount();
    return pages_.Count();
}

int TRichEdit::lineAt(int position) const
{
    if (!plainText_)
        return document()->findBlock(std::clamp(position, 0, TextLength())).blockNumber();
    return pages_.LineAt(position);
}

QString TRichEdit::spanText(int start, int end) const
{
    return positionsText(pages_.Range(start, end), plainText_);
}

bool TRichEdit::lineSpan(int line, int &start, int &end) const
{
    if (line < 0)
        return false;
    if (!plainText_) {
        if (line >= document()->blockCount())
            return false;
        const QTextBlock block = document()->findBlockByNumber(line);
        start = block.position();
        end = start + block.length() - 1;
        return true;
    }
    return pages_.Span(line, start, end);
}

// ---- streams

void TRichEdit::LoadFromStream(const QByteArray &bytes)
{
    LoadFromStream(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void TRichEdit::LoadFromStream(std::string_view bytes)
{
    if (printer_)
        printer_->reset();
    omitted_ = 0;
    pages_.SetHasPieces(false);
    if (!plainText_ && rtf::looksLikeRtf(bytes)) {
        const rtf::Document model = rtf::readRtf(bytes);
        omitted_ = model.omitted;
        richedit::fillDocument(*document(), model);
    } else {
        codepage::DecodedText decoded = codepage::decodePlainText(bytes);
        encoding_ = decoded.encoding;
        QString text = QString::fromStdU16String(decoded.text);
        decoded.text = {};
        if (needsNormalizing(text))
            text = normalizeBreaks(text, true);
        // The break after the last line ends that line; it starts no new one.
        if (text.endsWith(QChar(u'\n')))
            text.chop(1);
        std::vector<richedit::PageLines::Break> breaks;
        if (plainText_) {
            breaks = pages_.Split(text);
            groupLines(text);
        }
        setPlainText(text);
        pages_.MarkPieces(breaks);
    }
    setCurrentCharFormat(QTextCursor(document()).charFormat());
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
}

TRichEdit::PlainBytes TRichEdit::EncodePlainPage(const QString &lines, codepage::TextEncoding wanted)
{
    codepage::EncodedText encoded = codepage::encodePlainText(
        std::u16string_view(reinterpret_cast<const char16_t *>(lines.utf16()), static_cast<std::size_t>(lines.size())),
        wanted);
    return {QByteArray(encoded.bytes.data(), static_cast<qsizetype>(encoded.bytes.size())), encoded.encoding};
}

namespace {

// Appends a paragraph's text as UTF-8, its line separators as CR LF; a lone surrogate becomes
// U+FFFD as in the code-page encoder.
void appendUtf8Lines(QByteArray &out, const QString &text)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    const qsizetype at = out.size();
    out.resize(at + 3 * n);
    char *o = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c == 0x2028 || c == 0x2029) {
            *o++ = '\r';
            *o++ = '\n';
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[++i] - 0xDC00);
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(o - out.constData());
}

} // namespace

TRichEdit::PlainBytes TRichEdit::PlainStream() const
{
    using codepage::TextEncoding;
    if (!plainText_ || encoding_ == TextEncoding::Windows1252 || TextLength() == 0)
        return EncodePlainPage(Lines().Text(), encoding_);
    // UTF-8 straight from the paragraphs: no copy of the whole text on the way (pages run to
    // hundreds of megabytes).
    QByteArray out;
    out.reserve(TextLength() + TextLength() / 8 + 16);
    if (encoding_ == TextEncoding::Utf8Bom)
        out.append("\xEF\xBB\xBF");
    for (QTextBlock b = document()->begin(); b.isValid();) {
        appendUtf8Lines(out, b.text());
        b = b.next();
        const char16_t c = pages_.HasPieces() && b.isValid() ? piecebreak::before(b) : 0;
        if (c)
            out.append(static_cast<char>(c));
        else
            out.append("\r\n");
    }
    return {out, encoding_};
}

QByteArray TRichEdit::SaveToStream() const
{
    if (!plainText_) {
        const std::string rtfText = richedit::toRtf(*document(), 0, -1);
        return QByteArray(rtfText.data(), static_cast<qsizetype>(rtfText.size()));
    }
    return PlainStream().bytes;
}

bool TRichEdit::LoadFromFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    LoadFromStream(bytes);
    return true;
}

bool TRichEdit::SaveToFile(const QString &fileName)
{
    const PlainBytes plain = plainText_ ? PlainStream() : PlainBytes{SaveToStream(), encoding_};
    kelpa::SafeFileWriter file(QFile::encodeName(fileName).toStdString());
    if (!file.write(plain.bytes.constData(), static_cast<std::size_t>(plain.bytes.size())) || !file.commit())
        return false;
    encoding_ = plain.encoding;
    return true;
}

// ---- selection

int TRichEdit::SelStart() const
{
    return textCursor().selectionStart();
}

void TRichEdit::SetSelStart(int position)
{
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(position, 0, TextLength()));
    setTextCursor(c);
}

int TRichEdit::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TRichEdit::SetSelLength(int length)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    const long long end = std::clamp<long long>(static_cast<long long>(start) + length, 0, TextLength());
    c.setPosition(start);
    c.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString TRichEdit::SelText() const
{
    const QTextCursor c = textCursor();
    QString raw = c.selectedText();
    pages_.Restore(raw, c.selectionStart());
    return positionsText(std::move(raw), plainText_);
}

void TRichEdit::SetSelText(const QString &text)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    if (c.hasSelection()) {
        // The new text takes the look of the text it replaces (its first character), not that
        // of the character before it: a corrected word in italics stays in italics.
        const int start = c.selectionStart();
        const bool startsWithText = document()->characterAt(start) != QChar::ParagraphSeparator;
        QTextCursor first(document());
        first.setPosition(start + 1);
        const QTextCharFormat format = first.charFormat();
        c.removeSelectedText();
        if (startsWithText)
            c.setCharFormat(format);
    }
    insertPlain(c, text);
    c.endEditBlock();
    setTextCursor(c);
}

void TRichEdit::SelectAll()
{
    selectAll();
}

void TRichEdit::ScrollCaret()
{
    ensureCursorVisible();
}

int TRichEdit::LineFromChar(int position) const
{
    if (position < 0)
        position = textCursor().selectionStart();
    return lineAt(position);
}

int TRichEdit::LineIndex(int line) const
{
    if (line < 0)
        line = lineAt(textCursor().position());
    int start = 0;
    int end = 0;
    return lineSpan(line, start, end) ? start : -1;
}

int TRichEdit::LineLength(int line) const
{
    int start = 0;
    int end = 0;
    return lineSpan(line, start, end) ? end - start : -1;
}

int TRichEdit::CharFromPos(const QPoint &clientPoint) const
{
    const QMargins m = viewportMargins();
    return cursorForPosition(clientPoint - QPoint(m.left(), m.top())).position();
}

// ---- find

int TRichEdit::FindText(const QString &text, int start, int length, TSearchTypes options) const
{
    if (text.isEmpty() || length <= 0)
        return -1;
    const int total = TextLength();
    start = std::clamp(start, 0, total);
    const long long end = std::min<long long>(static_cast<long long>(start) + length, total);
    QTextDocument::FindFlags flags;
    if (options & TSearchType::MatchCase)
        flags |= QTextDocument::FindCaseSensitively;
    // Whole words are checked here: the text engine's own check goes on after a rejected hit
    // past its end, missing a hit that starts within it ("a a" in "ba a a").
    const auto wordAt = [this](int s, int e) {
        return !(s > 0 && document()->characterAt(s - 1).isLetterOrNumber()) &&
               !document()->characterAt(e).isLetterOrNumber();
    };
    QTextCursor from(document());
    from.setPosition(start);
    int found = -1;
    for (;;) {
        const QTextCursor hit = document()->find(text, from, flags);
        if (hit.isNull() || hit.selectionEnd() > end)
            break;
        if (!(options & TSearchType::WholeWord) || wordAt(hit.selectionStart(), hit.selectionEnd())) {
            found = hit.selectionStart();
            break;
        }
        from.setPosition(hit.selectionStart() + 1);
    }
    return pages_.FindAcrossBreaks(text, start, static_cast<int>(end), found, bool(options & TSearchType::MatchCase),
                                   bool(options & TSearchType::WholeWord));
}

// ---- model

rtf::Document TRichEdit::ToDocument(int start, int end) const
{
    return richedit::toModel(*document(), start, end);
}

void TRichEdit::FromDocument(const rtf::Document &model)
{
    if (printer_)
        printer_->reset();
    richedit::fillDocument(*document(), model);
    setCurrentCharFormat(QTextCursor(document()).charFormat());
}

// ---- range formatting

int TRichEdit::FormatRange(const TFormatRange *range, bool render)
{
    if (!range) {
        if (printer_)
            printer_->reset();
        return 0;
    }
    if (!printer_)
        printer_ = std::make_unique<Printer>(document());
    return printer_->format(*range, render);
}

// ---- events

bool TRichEdit::event(QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        // The space SetRect leaves around the text belongs to the page: the viewport's colour,
        // not the window's.
        const QRect view = viewport()->geometry();
        const QRegion margins = QRegion(view.marginsAdded(viewportMargins())) - view;
        if (!margins.isEmpty()) {
            QPainter painter(this);
            painter.setClipRegion(margins & static_cast<QPaintEvent *>(event)->region());
            painter.fillRect(view.marginsAdded(viewportMargins()),
                             viewport()->palette().brush(viewport()->backgroundRole()));
        }
    }
    return QTextEdit::event(event);
}

void TRichEdit::changeEvent(QEvent *event)
{
    QTextEdit::changeEvent(event); // a new widget font becomes the document's default font
    if (event->type() == QEvent::FontChange)
        applyShaping();
}

void TRichEdit::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers();
    emit KeyDown(key, shift);
    if (key == 0) {
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty()) {
        QChar ch = typed.front();
        const QChar original = ch;
        emit KeyPress(ch);
        if (ch.isNull()) {
            event->accept();
            return;
        }
        if (ch != original) {
            if (!isReadOnly())
                SetSelText(QString(ch));
            event->accept();
            return;
        }
    }
    if (event->matches(QKeySequence::Undo)) {
        if (!isReadOnly())
            Undo();
        event->accept();
        return;
    }
    if (key == Qt::Key_Insert && (shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
        setOverwriteMode(!overwriteMode());
        event->accept();
        return;
    }
    if (plainText_ && pages_.HasPieces() && !isReadOnly() && (key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (shift & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0) {
        // A new line in a piece starts a line, not another piece.
        // (What a selection leaves keeps the paragraph format of its start.)
        QTextCursor c = textCursor();
        if (piecebreak::before(document()->findBlock(c.selectionStart())) != 0) {
            c.beginEditBlock();
            c.removeSelectedText();
            QTextBlockFormat line = c.blockFormat();
            line.clearProperty(piecebreak::kProperty);
            c.insertBlock(line);
            c.endEditBlock();
            setTextCursor(c);
            ensureCursorVisible();
            event->accept();
            return;
        }
    }
    if (plainText_ && (key == Qt::Key_Return || key == Qt::Key_Enter) && (shift & Qt::ShiftModifier)) {
        // A plain page has no line breaks inside paragraphs.
        QKeyEvent plainReturn(event->type(), key, shift & ~Qt::ShiftModifier, event->text(),
                              event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QTextEdit::keyPressEvent(&plainReturn);
        event->setAccepted(plainReturn.isAccepted());
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TRichEdit::keyReleaseEvent(QKeyEvent *event)
{
    int key = event->key();
    emit KeyUp(key, event->modifiers());
    if (key == 0) {
        event->accept();
        return;
    }
    QTextEdit::keyReleaseEvent(event);
}

void TRichEdit::mousePressEvent(QMouseEvent *event)
{
    const QMargins m = viewportMargins();
    emit MouseDown(event->button(), event->modifiers(), event->position().toPoint() + QPoint(m.left(), m.top()));
    QTextEdit::mousePressEvent(event);
}

void TRichEdit::contextMenuEvent(QContextMenuEvent *event)
{
    if (popupMenu_) {
        popupMenu_->popup(event->globalPos());
        event->accept();
        return;
    }
    QTextEdit::contextMenuEvent(event);
}

// ---- clipboard

QMimeData *TRichEdit::createMimeDataFromSelection() const
{
    auto *mime = new QMimeData;
    const QTextCursor c = textCursor();
    QString text = c.selectedText();
    pages_.Restore(text, c.selectionStart());
    for (QChar &ch : text)
        if (ch.unicode() == 0x2029 || ch.unicode() == 0x2028)
            ch = QChar(u'\n');
    mime->setText(text);
    if (!plainText_) {
        const std::string rtfText = richedit::toRtf(*document(), c.selectionStart(), c.selectionEnd());
        mime->setData(kRtfMime, QByteArray(rtfText.data(), static_cast<qsizetype>(rtfText.size())));
    }
    return mime;
}

bool TRichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasText() ||
           (!plainText_ && (source->hasFormat(kRtfMime) || source->hasFormat(kRtfMimeAlt)));
}

void TRichEdit::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly())
        return;
    QTextCursor c = textCursor();
    if (!plainText_ && (source->hasFormat(kRtfMime) || source->hasFormat(kRtfMimeAlt))) {
        const QByteArray bytes = source->data(source->hasFormat(kRtfMime) ? kRtfMime : kRtfMimeAlt);
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        richedit::fillDocument(
            pasted, rtf::readRtf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
        c.insertFragment(QTextDocumentFragment(&pasted));
    } else if (source->hasText()) {
        c.beginEditBlock();
        if (c.hasSelection())
            c.removeSelectedText();
        insertPlain(c, source->text());
        c.endEditBlock();
    } else {
        return;
    }
    setTextCursor(c);
    ensureCursorVisible();
}

} // namespace kelpa::richedit
