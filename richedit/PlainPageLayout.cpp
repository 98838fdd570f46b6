#include "richedit/PlainPageLayout.h"
#include "richedit/PieceBreak.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace kelpa::richedit {

namespace {

// Far enough for any update rectangle: the view clips it.
constexpr qreal kEverywhere = 1e9;

// A background step stays well inside a frame.
constexpr qint64 kStepNs = 1'000'000;

// The background pass waits this long after the page was painted: while the user works with the
// page, each of the user's steps comes without a background step's cost.
constexpr int kQuietMs = 20;

} // namespace

PlainPageLayout::PlainPageLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document)
{
    // documentChanged cannot tell a new text from a new page size; the document says which
    // just before it calls.
    connect(document, &QTextDocument::contentsChange, this, [this] { contentChanged_ = true; });
    // Qt's text edit widens the page to the text without wrap only when told there is no
    // alignment to keep.
    setProperty("contentHasAlignment", false);
}

void PlainPageLayout::setBackgroundEnabled(bool enabled)
{
    backgroundEnabled_ = enabled;
    if (enabled)
        timer_.start(0, this);
}

bool PlainPageLayout::wraps() const
{
    const QTextDocument *doc = document();
    return doc->pageSize().width() >= 0 && doc->defaultTextOption().wrapMode() != QTextOption::NoWrap &&
           doc->defaultTextOption().wrapMode() != QTextOption::ManualWrap;
}

qreal PlainPageLayout::availableWidth() const
{
    const QTextDocument *doc = document();
    return std::max<qreal>(0, doc->pageSize().width() - 2 * doc->documentMargin());
}

void PlainPageLayout::measureFonts()
{
    // One line of the page's font, laid out as the blocks are.
    QTextLayout probe(QStringLiteral("x"), document()->defaultFont());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLeadingIncluded(true);
    line.setLineWidth(1000);
    probe.endLayout();
    lineHeight_ = std::max<qreal>(1, line.height());
    averageAdvance_ = std::max<qreal>(1, QFontMetricsF(document()->defaultFont()).averageCharWidth());
}

void PlainPageLayout::readLines(const QTextBlock &block, Block &into) const
{
    into.lineLengths.clear();
    const QString text = block.text();
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(QChar(QChar::LineSeparator), from);
        if (at < 0) {
            into.lineLengths.push_back(static_cast<int>(text.size() - from));
            break;
        }
        into.lineLengths.push_back(static_cast<int>(at - from));
        from = at + 1;
    }
}

qreal PlainPageLayout::estimate(const Block &b) const
{
    if (!wraps())
        return lineHeight_ * static_cast<qreal>(b.lineLengths.size());
    const qreal perRow = std::max<qreal>(1, availableWidth() / averageAdvance_);
    qreal rows = 0;
    for (int length : b.lineLengths)
        rows += std::max<qreal>(1, std::ceil(length / perRow));
    return rows * lineHeight_;
}

void PlainPageLayout::rebuild()
{
    const QTextDocument *doc = document();
    blocks_.assign(static_cast<std::size_t>(doc->blockCount()), Block{});
    std::size_t i = 0;
    for (QTextBlock b = doc->begin(); b.isValid() && i < blocks_.size(); b = b.next(), ++i) {
        b.clearLayout();
        readLines(b, blocks_[i]);
        blocks_[i].height = estimate(blocks_[i]);
    }
    widest_ = 0;
    topsValid_ = 0;
    refineFrom_ = 0;
}

void PlainPageLayout::documentChanged(int from, int /*charsRemoved*/, int charsAdded)
{
    QTextDocument *doc = document();
    const bool content = contentChanged_;
    contentChanged_ = false;
    const int count = doc->blockCount();
    const int length = doc->characterCount();
    measureFonts();

    if (!content && static_cast<int>(blocks_.size()) == count) {
        // The page's geometry or font: every block again, laid out when next needed.
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            b.clearLayout();
        for (Block &b : blocks_) {
            b.exact = false;
            b.height = estimate(b);
        }
        widest_ = 0;
        topsValid_ = 0;
        refineFrom_ = 0;
    } else {
        // The blocks between the change's first and the one holding the character after it
        // stand for the same span before the change.
        const QTextBlock first = doc->findBlock(std::clamp(from, 0, length - 1));
        const QTextBlock last = doc->findBlock(std::clamp(from + charsAdded, 0, length - 1));
        const int firstNumber = first.blockNumber();
        const int lastNumber = last.blockNumber();
        const int oldLast = lastNumber - (count - static_cast<int>(blocks_.size()));
        const bool whole = from == 0 && charsAdded >= length - 1;
        if (whole || firstNumber < 0 || lastNumber < firstNumber || oldLast < firstNumber - 1 ||
            oldLast >= static_cast<int>(blocks_.size())) {
            rebuild();
        } else {
            const auto at = blocks_.begin() + firstNumber;
            blocks_.erase(at, blocks_.begin() + oldLast + 1);
            blocks_.insert(blocks_.begin() + firstNumber, static_cast<std::size_t>(lastNumber - firstNumber + 1),
                           Block{});
            // The mark shown after the piece before is the one the first block's break stands
            // for, which a change from the first block's start may have set.
            if (from <= first.position() && piecebreak::before(first) != 0 && first.previous().isValid())
                first.previous().clearLayout();
            int n = firstNumber;
            for (QTextBlock b = first; b.isValid() && n <= lastNumber; b = b.next(), ++n) {
                b.clearLayout();
                Block &entry = blocks_[static_cast<std::size_t>(n)];
                readLines(b, entry);
                entry.height = estimate(entry);
            }
            topsValid_ = std::min(topsValid_, firstNumber);
            refineFrom_ = std::min(refineFrom_, firstNumber);
        }
    }
    tops_.resize(blocks_.size() + 1);
    if (backgroundEnabled_)
        timer_.start(0, this);
    emitSizeIfChanged();
    emit update(QRectF(0, 0, kEverywhere, kEverywhere));
}

void PlainPageLayout::setHeight(int number, qreal height) const
{
    Block &b = blocks_[static_cast<std::size_t>(number)];
    if (b.height != height) {
        b.height = height;
        topsValid_ = std::min(topsValid_, number);
        scheduleSizeCheck();
    }
}

qreal PlainPageLayout::top(int number) const
{
    const int count = static_cast<int>(blocks_.size());
    number = std::clamp(number, 0, count);
    if (tops_.size() != blocks_.size() + 1)
        tops_.resize(blocks_.size() + 1);
    if (topsValid_ < number) {
        if (topsValid_ <= 0) {
            tops_[0] = document()->documentMargin();
            topsValid_ = 0;
        }
        for (int i = topsValid_; i < number; ++i)
            tops_[static_cast<std::size_t>(i) + 1] = tops_[static_cast<std::size_t>(i)] + blocks_[static_cast<std::size_t>(i)].height;
        topsValid_ = number;
    } else if (number == 0) {
        tops_[0] = document()->documentMargin();
    }
    return tops_[static_cast<std::size_t>(number)];
}

int PlainPageLayout::blockAt(qreal y) const
{
    const int count = static_cast<int>(blocks_.size());
    if (count == 0)
        return 0;
    top(count);
    const auto begin = tops_.begin();
    const auto it = std::upper_bound(begin, begin + count, y);
    return std::clamp(static_cast<int>(it - begin) - 1, 0, count - 1);
}

bool PlainPageLayout::layOutTail(const QTextBlock &block, QTextLayout &tail) const
{
    const char16_t mark = piecebreak::shownAfter(block);
    if (mark == 0)
        return false;
    tail.setText(QString(QChar(mark)));
    tail.setFont(document()->defaultFont());
    QTextCharFormat format = block.charFormat();
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().isValid())
            format = it.fragment().charFormat();
    if (!format.properties().isEmpty())
        tail.setFormats({{0, 1, format}});
    QTextOption option = document()->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft);
    option.setTextDirection(block.textDirection());
    tail.setTextOption(option);
    tail.beginLayout();
    QTextLine line = tail.createLine();
    line.setLeadingIncluded(true);
    line.setLineWidth(kEverywhere);
    tail.endLayout();
    return true;
}

qreal PlainPageLayout::tailWidth(const QTextBlock &block) const
{
    QTextLayout tail;
    return layOutTail(block, tail) ? tail.lineAt(0).naturalTextWidth() : 0;
}

qreal PlainPageLayout::placeLines(QTextLayout &tl, const QTextBlock &block) const
{
    const QTextDocument *doc = document();
    const QTextBlockFormat format = block.blockFormat();
    QTextOption option = doc->defaultTextOption();
    const Qt::LayoutDirection direction = block.textDirection();
    option.setTextDirection(direction);
    option.setTabs(format.tabPositions());
    Qt::Alignment align = option.alignment();
    if (format.hasProperty(QTextFormat::BlockAlignment))
        align = format.alignment();
    option.setAlignment(QStyle::visualAlignment(direction, align));
    if (format.nonBreakableLines() || doc->pageSize().width() < 0)
        option.setWrapMode(QTextOption::ManualWrap);
    tl.setTextOption(option);
    const bool wordOrAnywhere = option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere;

    const qreal left = format.leftMargin();
    const qreal right = availableWidth() - format.rightMargin();
    // The mark a piece ends in is shown after its last line: with wrap, that line leaves room.
    const qreal tail = tailWidth(block);
    const bool wrapping = option.wrapMode() != QTextOption::NoWrap && option.wrapMode() != QTextOption::ManualWrap;
    const qsizetype textLength = tl.text().size();
    bool narrowed = false;
    qreal y = 0;
    bool firstLine = true;
    tl.beginLayout();
    for (;;) {
        QTextLine line = tl.createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        const qreal x = left + (firstLine ? format.textIndent() : 0);
        firstLine = false;
        qreal width = right - x;
        line.setLineWidth(width);
        if (tail > 0 && wrapping && !narrowed && width > tail && line.textStart() + line.textLength() >= textLength &&
            line.naturalTextWidth() + tail > width) {
            narrowed = true;
            width -= tail;
            line.setLineWidth(width);
        }
        if (line.naturalTextWidth() > width) {
            // As Qt's layout does it: a line that cannot be broken takes the width it needs.
            if (wordOrAnywhere) {
                option.setWrapMode(QTextOption::WrapAnywhere);
                tl.setTextOption(option);
            }
            line.setLineWidth(std::max(line.naturalTextWidth(), width));
            if (wordOrAnywhere) {
                option.setWrapMode(QTextOption::WordWrap);
                tl.setTextOption(option);
            }
        }
        line.setPosition(QPointF(x, y));
        y += line.height();
        const bool last = line.textStart() + line.textLength() >= textLength;
        widest_ = std::max(widest_, x + line.naturalTextWidth() + (last ? tail : 0) + format.rightMargin());
    }
    tl.endLayout();
    return y;
}

bool PlainPageLayout::layOut(const QTextBlock &block, int number) const
{
    QTextLayout *tl = block.layout();
    if (!tl || number < 0 || number >= static_cast<int>(blocks_.size()))
        return false;
    Block &entry = blocks_[static_cast<std::size_t>(number)];
    if (entry.exact && tl->lineCount() > 0)
        return false;
    const qreal height = placeLines(*tl, block);
    entry.exact = true;
    setHeight(number, height);
    ++demandLayouts_;
    lastDemandBlock_ = std::max(lastDemandBlock_, number);
    return true;
}

void PlainPageLayout::measure(const QTextBlock &block, int number) const
{
    // A layout of its own, gone after: the block's would keep its lines' memory.
    QTextLayout tl(block.text(), document()->defaultFont());
    QList<QTextLayout::FormatRange> formats;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.isValid() && !fragment.charFormat().properties().isEmpty())
            formats.append({fragment.position() - block.position(), fragment.length(), fragment.charFormat()});
    }
    tl.setFormats(formats);
    const qreal height = placeLines(tl, block);
    blocks_[static_cast<std::size_t>(number)].exact = true;
    setHeight(number, height);
}

QTextBlock PlainPageLayout::placed(int number, const QTextBlock &block) const
{
    layOut(block, number);
    block.layout()->setPosition(QPointF(document()->documentMargin(), top(number)));
    return block;
}

QRectF PlainPageLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid())
        return QRectF();
    const int number = block.blockNumber();
    if (number < 0 || number >= static_cast<int>(blocks_.size()))
        return QRectF();
    const QTextLayout *tl = placed(number, block).layout();
    QRectF rect = tl->boundingRect();
    rect.moveTopLeft(tl->position());
    return rect;
}

QRectF PlainPageLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (frame != document()->rootFrame())
        return QRectF();
    return QRectF(QPointF(0, 0), documentSize());
}

QSizeF PlainPageLayout::documentSize() const
{
    const QTextDocument *doc = document();
    const qreal margin = doc->documentMargin();
    const qreal page = std::max<qreal>(0, doc->pageSize().width());
    const qreal width = wraps() ? page : std::max(page, widest_ + 2 * margin);
    return QSizeF(width, top(static_cast<int>(blocks_.size())) + margin);
}

int PlainPageLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    const QTextDocument *doc = document();
    const int lastPosition = doc->characterCount() - 1;
    const int count = static_cast<int>(blocks_.size());
    if (count == 0)
        return accuracy == Qt::ExactHit ? -1 : 0;
    if (point.y() < top(0))
        return accuracy == Qt::ExactHit ? -1 : 0;
    if (point.y() > top(count))
        return accuracy == Qt::ExactHit ? -1 : lastPosition;
    // Laying a block out can change its height and so the block under the point.
    int number = blockAt(point.y());
    QTextBlock block = doc->findBlockByNumber(number);
    for (int tries = 0; tries < 8 && layOut(block, number); ++tries) {
        const int again = blockAt(point.y());
        if (again == number)
            break;
        number = again;
        block = doc->findBlockByNumber(number);
    }
    if (!block.isValid()) // asked while the document tells of a change not yet seen here
        return accuracy == Qt::ExactHit ? -1 : 0;
    const QTextLayout *tl = placed(number, block).layout();
    QRectF textRect = tl->boundingRect();
    textRect.translate(tl->position());
    if (point.y() > textRect.bottom())
        return accuracy == Qt::ExactHit ? -1 : std::min(lastPosition, block.position() + block.length());
    const QPointF pos = point - tl->position();
    bool exact = false;
    int off = 0;
    for (int i = 0; i < tl->lineCount(); ++i) {
        const QTextLine line = tl->lineAt(i);
        const QRectF lr = line.naturalTextRect();
        if (lr.top() > pos.y()) {
            off = std::min(off, line.textStart());
        } else if (lr.bottom() <= pos.y()) {
            off = std::max(off, line.textStart() + line.textLength());
        } else {
            exact = lr.left() <= pos.x() && lr.right() >= pos.x();
            off = line.xToCursor(pos.x(), accuracy == Qt::ExactHit ? QTextLine::CursorOnCharacter
                                                                   : QTextLine::CursorBetweenCharacters);
            break;
        }
    }
    if (accuracy == Qt::ExactHit && !exact)
        return -1;
    int last = lastPosition;
    if (!tl->preeditAreaText().isEmpty())
        last += static_cast<int>(tl->preeditAreaText().size());
    return std::clamp(block.position() + off, 0, last);
}

void PlainPageLayout::draw(QPainter *painter, const PaintContext &context)
{
    const QTextDocument *doc = document();
    const int count = static_cast<int>(blocks_.size());
    if (count == 0)
        return;
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, kEverywhere, kEverywhere);
    bool ok = false;
    int cursorWidth = property("cursorWidth").toInt(&ok);
    if (!ok)
        cursorWidth = 1;

    paintedTop_ = clip.top();
    if (selfUpdate_)
        selfUpdate_ = false;
    else
        lastPaint_.start();
    int number = blockAt(clip.top());
    for (QTextBlock block = doc->findBlockByNumber(number); block.isValid() && number < count;
         block = block.next(), ++number) {
        if (top(number) > clip.bottom())
            break;
        QTextLayout *tl = placed(number, block).layout();
        const int position = block.position();
        const int length = block.length();

        QList<QTextLayout::FormatRange> selections;
        for (const Selection &range : context.selections) {
            const int start = range.cursor.selectionStart() - position;
            const int end = range.cursor.selectionEnd() - position;
            if (start < length && end > 0 && end > start) {
                selections.append({start, end - start, range.format});
            } else if (!range.cursor.hasSelection() && range.format.hasProperty(QTextFormat::FullWidthSelection) &&
                       block.contains(range.cursor.position())) {
                const QTextLine line = tl->lineForTextPosition(range.cursor.position() - position);
                QTextLayout::FormatRange o{line.textStart(), line.textLength(), range.format};
                if (o.start + o.length == length - 1)
                    ++o.length; // with the paragraph's end
                selections.append(o);
            }
        }
        const QPen oldPen = painter->pen();
        painter->setPen(context.palette.color(QPalette::Text));
        tl->draw(painter, QPointF(), selections, clip);
        QTextLayout tail;
        if (tl->lineCount() > 0 && layOutTail(block, tail)) {
            const QTextLine last = tl->lineAt(tl->lineCount() - 1);
            qreal x = last.cursorToX(length - 1);
            if (block.textDirection() == Qt::RightToLeft)
                x -= tail.lineAt(0).naturalTextWidth();
            QList<QTextLayout::FormatRange> marked;
            for (const QTextLayout::FormatRange &range : selections)
                if (range.start <= length - 1 && range.start + range.length >= length &&
                    !range.format.hasProperty(QTextFormat::FullWidthSelection))
                    marked.append({0, 1, range.format});
            tail.draw(painter, tl->position() + QPointF(x, last.y()), marked, clip);
        }
        if ((context.cursorPosition >= position && context.cursorPosition < position + length) ||
            (context.cursorPosition < -1 && !tl->preeditAreaText().isEmpty())) {
            int at = context.cursorPosition;
            at = at < -1 ? tl->preeditAreaPosition() - (at + 2) : at - position;
            tl->drawCursor(painter, QPointF(), at, cursorWidth);
        }
        painter->setPen(oldPen);
    }
}

void PlainPageLayout::scheduleSizeCheck() const
{
    sizeCheckDue_ = true;
    if (!timer_.isActive())
        timer_.start(0, const_cast<PlainPageLayout *>(this));
}

void PlainPageLayout::emitSizeIfChanged()
{
    sizeCheckDue_ = false;
    const QSizeF size = documentSize();
    if (size != lastReportedSize_) {
        lastReportedSize_ = size;
        emit documentSizeChanged(size);
    }
}

void PlainPageLayout::refineStep()
{
    const QTextDocument *doc = document();
    const int count = static_cast<int>(blocks_.size());
    QElapsedTimer clock;
    clock.start();
    int number = std::clamp(refineFrom_, 0, count);
    while (number < count && blocks_[static_cast<std::size_t>(number)].exact)
        ++number;
    qreal above = 0;
    for (QTextBlock block = doc->findBlockByNumber(number); block.isValid() && number < count;
         block = block.next(), ++number) {
        if (blocks_[static_cast<std::size_t>(number)].exact)
            continue;
        const qreal before = blocks_[static_cast<std::size_t>(number)].height;
        const bool isAbove = top(number) + before <= paintedTop_;
        measure(block, number);
        if (isAbove)
            above += blocks_[static_cast<std::size_t>(number)].height - before;
        if (clock.nsecsElapsed() > kStepNs) {
            ++number;
            break;
        }
    }
    refineFrom_ = number;
    if (above != 0) {
        paintedTop_ += above;
        emitSizeIfChanged(); // the view's range first, then the scroll
        emit heightAboveChanged(above);
        // The view scrolled by copying what it showed, but the text stayed where it was.
        selfUpdate_ = true;
        emit update(QRectF(0, 0, kEverywhere, kEverywhere));
    }
}

void PlainPageLayout::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timer_.timerId()) {
        QAbstractTextDocumentLayout::timerEvent(event);
        return;
    }
    const bool pending = backgroundEnabled_ && refineFrom_ < static_cast<int>(blocks_.size());
    const bool quiet = !lastPaint_.isValid() || lastPaint_.elapsed() >= kQuietMs;
    if (pending && quiet)
        refineStep();
    if (sizeCheckDue_ || pending)
        emitSizeIfChanged();
    if (!(backgroundEnabled_ && refineFrom_ < static_cast<int>(blocks_.size())) && !sizeCheckDue_)
        timer_.stop();
    else
        timer_.start(quiet ? 0 : kQuietMs, this);
}

} // namespace kelpa::richedit
