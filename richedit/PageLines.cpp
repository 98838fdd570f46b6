#include "richedit/PageLines.h"

#include "richedit/PieceBreak.h"

#include <QTextBlock>

#include <algorithm>

namespace kelpa::richedit {

namespace {

// The text engine lays out a paragraph whole on every edit; a line of megabytes in pieces of
// about the piece length costs a piece, and as each break takes the place of a character of
// the line, every position stays what it is in the line.

bool canBreakAt(QChar c, bool mark)
{
    return mark ? piecebreak::isMark(c.unicode()) : piecebreak::isBlank(c.unicode());
}

int countSeparators(QStringView text)
{
    return static_cast<int>(text.count(QChar(QChar::LineSeparator)));
}

} // namespace

void PageLines::SetPieceLength(int characters)
{
    pieceLength_ = std::max(2, characters);
}

// A break goes at the last blank within the next piece length, else the last punctuation mark
// there (minified data), else the first blank after them, else the first mark.
std::vector<PageLines::Break> PageLines::Split(QString &text) const
{
    std::vector<Break> breaks;
    const qsizetype n = text.size();
    if (n <= pieceLength_)
        return breaks;
    QChar *p = text.data();
    qsizetype lineStart = 0;
    while (lineStart < n) {
        qsizetype lineEnd = text.indexOf(QChar(u'\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = n;
        qsizetype from = lineStart;
        while (lineEnd - from > pieceLength_) {
            qsizetype at = -1;
            for (bool mark : {false, true})
                for (qsizetype i = from + pieceLength_; at < 0 && i > from; --i)
                    if (canBreakAt(p[i], mark))
                        at = i;
            for (bool mark : {false, true})
                for (qsizetype i = from + pieceLength_ + 1; at < 0 && i < lineEnd; ++i)
                    if (canBreakAt(p[i], mark))
                        at = i;
            if (at < 0)
                break;
            breaks.push_back({at, p[at].unicode()});
            p[at] = QChar(QChar::ParagraphSeparator);
            from = at + 1;
        }
        lineStart = lineEnd + 1;
    }
    return breaks;
}

void PageLines::MarkPieces(const std::vector<Break> &breaks)
{
    pieces_ = !breaks.empty();
    if (!pieces_)
        return;
    const bool undo = document_->isUndoRedoEnabled();
    document_->setUndoRedoEnabled(false);
    QTextCursor c(document_);
    c.beginEditBlock();
    for (const Break &b : breaks) {
        c.setPosition(static_cast<int>(b.at) + 1);
        QTextBlockFormat f = c.blockFormat();
        f.setProperty(piecebreak::kProperty, b.stands);
        c.setBlockFormat(f);
    }
    c.endEditBlock();
    document_->setUndoRedoEnabled(undo);
    linesKnown_ = 0;
}

void PageLines::InsertPieces(QTextCursor &cursor, const QString &text, const std::vector<char16_t> &stands)
{
    pieces_ = pieces_ || !stands.empty();
    QTextBlockFormat line = cursor.blockFormat();
    line.clearProperty(piecebreak::kProperty);
    std::size_t next = 0;
    qsizetype from = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text[i] != u'\n' && text[i] != QChar::ParagraphSeparator)
            continue;
        if (i > from)
            cursor.insertText(text.mid(from, i - from));
        if (i == n)
            break;
        if (text[i] == u'\n' || next >= stands.size()) {
            cursor.insertBlock(line);
        } else {
            QTextBlockFormat piece = line;
            piece.setProperty(piecebreak::kProperty, stands[next++]);
            cursor.insertBlock(piece);
        }
        from = i + 1;
    }
}

void PageLines::Restore(QString &raw, int docStart) const
{
    if (!pieces_ || raw.isEmpty())
        return;
    const qsizetype end = docStart + raw.size();
    for (QTextBlock b = document_->findBlock(docStart); b.isValid() && b.position() <= end; b = b.next()) {
        const qsizetype at = b.position() - 1;
        if (at < docStart || at >= end)
            continue;
        if (const char16_t c = piecebreak::before(b))
            raw[at - docStart] = QChar(c);
    }
}

QString PageLines::Range(int from, int to) const
{
    const QTextBlock block = document_->findBlock(from);
    QString raw;
    if (to <= block.position() + block.length() - 1) {
        raw = block.text().mid(from - block.position(), to - from);
    } else {
        QTextCursor c(document_);
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        raw = c.selectedText();
        Restore(raw, from);
    }
    return raw;
}

// A hit across the break before a piece holds the character that break stands for; the
// search within paragraphs cannot see it.
int PageLines::FindAcrossBreaks(const QString &text, int start, int end, int found, bool matchCase,
                                bool wholeWord) const
{
    if (!pieces_ || std::none_of(text.begin(), text.end(), [](QChar c) {
            return piecebreak::isBlank(c.unicode()) || piecebreak::isMark(c.unicode());
        }))
        return found;
    const auto canHold = [&text](char16_t c) {
        return piecebreak::isBlank(c) ? text.contains(QChar(u' ')) || text.contains(QChar(u'\t'))
                                      : text.contains(QChar(c));
    };
    const int total = document_->characterCount() - 1;
    const int n = static_cast<int>(text.size());
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int best = found >= 0 ? found : end; // hits start before this
    for (QTextBlock b = document_->findBlock(start).next(); b.isValid(); b = b.next()) {
        const int at = b.position() - 1;
        if (at - n + 1 >= best || at >= end)
            break;
        if (const char16_t c = piecebreak::before(b); c == 0 || !canHold(c))
            continue;
        const int from0 = std::max(start, at - n + 1);
        const int w0 = std::max(0, from0 - 1);
        const int w1 = std::min<int>(total, std::min<long long>(end, at + n) + 1);
        QString window = Range(w0, w1);
        window.replace(QChar::Nbsp, QChar(u' ')); // as the search within paragraphs has it
        for (qsizetype i = window.indexOf(text, from0 - w0, cs); i >= 0; i = window.indexOf(text, i + 1, cs)) {
            const int h = w0 + static_cast<int>(i);
            if (h > at || h >= best || h + n > end)
                break;
            if (h + n <= at)
                continue;
            if (wholeWord) {
                const bool before = i > 0 && window[i - 1].isLetterOrNumber();
                const bool after = i + n < window.size() && window[i + n].isLetterOrNumber();
                if (before || after)
                    continue;
            }
            best = h;
            break;
        }
    }
    return best < (found >= 0 ? found : end) ? best : found;
}

void PageLines::NoteChange(int from, int added)
{
    // The paragraphs the change touched count their lines again, and the index holds up to
    // the first of them.
    QTextBlock block = document_->findBlock(from);
    // (A paragraph's entry also depends on whether the next one is a piece.)
    linesKnown_ = std::min(linesKnown_, std::max(0, block.blockNumber() - 1));
    const QTextBlock last = document_->findBlock(from + added);
    while (block.isValid()) {
        block.setUserState(-1);
        if (block == last)
            break;
        block = block.next();
    }
}

void PageLines::ensureIndex(int upTo, int line) const
{
    const int blocks = document_->blockCount();
    upTo = std::clamp(upTo, 0, blocks);
    if (linesKnown_ >= upTo && (line < 0 || firstLine_[static_cast<std::size_t>(linesKnown_)] > line))
        return;
    firstLine_.resize(static_cast<std::size_t>(blocks) + 1);
    int i = linesKnown_;
    int total = firstLine_[static_cast<std::size_t>(i)];
    for (QTextBlock b = document_->findBlockByNumber(i); b.isValid() && i < blocks; b = b.next(), ++i) {
        if (i >= upTo && (line < 0 || total > line))
            break;
        int separators = b.userState();
        if (separators < 0) {
            separators = countSeparators(b.text());
            b.setUserState(separators);
        }
        // The next paragraph starts a line unless it continues this one.
        const bool piece = pieces_ && i + 1 < blocks && piecebreak::before(b.next()) != 0;
        total += separators + (piece ? 0 : 1);
        firstLine_[static_cast<std::size_t>(i) + 1] = total;
    }
    linesKnown_ = i;
}

int PageLines::Count() const
{
    const int blocks = document_->blockCount();
    ensureIndex(blocks);
    return firstLine_[static_cast<std::size_t>(blocks)];
}

int PageLines::LineAt(int position) const
{
    const QTextBlock block = document_->findBlock(std::clamp(position, 0, document_->characterCount() - 1));
    ensureIndex(block.blockNumber());
    const QString text = block.text();
    const int inBlock = std::clamp(position - block.position(), 0, static_cast<int>(text.size()));
    return firstLine_[static_cast<std::size_t>(block.blockNumber())] +
           countSeparators(QStringView(text).left(inBlock));
}

bool PageLines::Span(int line, int &start, int &end) const
{
    if (line < 0)
        return false;
    // Counted until the paragraph after the one holding the line.
    ensureIndex(0, line);
    const auto known = static_cast<std::ptrdiff_t>(linesKnown_);
    if (firstLine_[static_cast<std::size_t>(known)] <= line)
        return false; // past the last line
    // The line ends in the last paragraph starting on or before it; it starts there too unless
    // that paragraph is one of its pieces.
    const auto it = std::upper_bound(firstLine_.begin(), firstLine_.begin() + known + 1, line);
    const auto last = static_cast<int>(it - firstLine_.begin()) - 1;
    int first = last;
    if (pieces_ && firstLine_[static_cast<std::size_t>(last)] == line) {
        first = static_cast<int>(std::lower_bound(firstLine_.begin(), it, line) - firstLine_.begin());
        if (first > 0 && piecebreak::before(document_->findBlockByNumber(first)) != 0)
            --first; // begins after a line separator in the paragraph before the first piece
    }
    const auto skipLines = [](const QString &text, int lines) {
        qsizetype at = 0;
        for (; lines > 0; --lines)
            at = text.indexOf(QChar(QChar::LineSeparator), at) + 1;
        return at;
    };
    const QTextBlock startBlock = document_->findBlockByNumber(first);
    start = startBlock.position() +
            static_cast<int>(skipLines(startBlock.text(), line - firstLine_[static_cast<std::size_t>(first)]));
    const QTextBlock endBlock = first == last ? startBlock : document_->findBlockByNumber(last);
    const QString text = endBlock.text();
    const qsizetype from = first == last ? start - endBlock.position()
                                         : skipLines(text, line - firstLine_[static_cast<std::size_t>(last)]);
    qsizetype to = text.indexOf(QChar(QChar::LineSeparator), from);
    if (to < 0)
        to = text.size();
    end = endBlock.position() + static_cast<int>(to);
    return true;
}

} // namespace kelpa::richedit
