#include "richedit/TRichEditConvert.h"
#include "richedit/TRichEditPrinter.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <cmath>

namespace kelpa::richedit {

namespace {

// Pixels of the control's own unit (96 per inch) to device pixels.
qreal toDevice(qreal pixels96, int dpi)
{
    return pixels96 * dpi / 96.0;
}

qreal twipsToDevice(int twips, int dpi)
{
    return static_cast<qreal>(twips) * dpi / 1440.0;
}

} // namespace

void TRichEdit::Printer::reset()
{
    blocks_.clear();
    revision_ = -1;
}

QFont TRichEdit::Printer::deviceFont(QFont font) const
{
    qreal points = font.pointSizeF();
    if (points <= 0)
        points = font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 12;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpiY_ / 72.0))));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

TRichEdit::Printer::BlockLayout &TRichEdit::Printer::layoutOf(const QTextBlock &block)
{
    const auto number = static_cast<std::size_t>(block.blockNumber());
    if (blocks_.size() <= number)
        blocks_.resize(static_cast<std::size_t>(document_->blockCount()));
    if (blocks_[number])
        return *blocks_[number];

    auto bl = std::make_unique<BlockLayout>();
    const QTextBlockFormat bf = block.blockFormat();
    const QFont base = deviceFont(document_->defaultFont());
    bl->layout = std::make_unique<QTextLayout>(block.text(), base);

    QList<QTextLayout::FormatRange> ranges;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        QTextCharFormat f = fragment.charFormat();
        qreal points = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : 0;
        if (points <= 0)
            points = document_->defaultFont().pointSizeF() > 0 ? document_->defaultFont().pointSizeF() : 12;
        f.clearProperty(QTextFormat::FontPointSize);
        f.setProperty(QTextFormat::FontPixelSize,
                      std::max(1, static_cast<int>(std::lround(points * dpiY_ / 72.0))));
        f.setFontHintingPreference(QFont::PreferNoHinting);
        ranges.append({fragment.position() - block.position(), fragment.length(), f});
    }
    bl->layout->setFormats(ranges);

    QTextOption option;
    option.setAlignment(bf.alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(toDevice(document_->defaultTextOption().tabStopDistance() > 0
                                           ? document_->defaultTextOption().tabStopDistance()
                                           : 80,
                                       dpiX_));
    bl->layout->setTextOption(option);

    qreal listIndent = 0;
    if (const QTextList *list = block.textList()) {
        listIndent = toDevice(40.0 * std::max(1, list->format().indent()), dpiX_);
        bl->bullet = true;
        bl->bulletFont = ranges.isEmpty() ? base : ranges.front().format.font();
    }
    const qreal left = toDevice(bf.leftMargin(), dpiX_) + listIndent;
    const qreal right = toDevice(bf.rightMargin(), dpiX_);
    const qreal indent = toDevice(bf.textIndent(), dpiX_);
    bl->bulletRight = left + indent;
    bl->spaceBefore = toDevice(bf.topMargin(), dpiY_);
    bl->spaceAfter = toDevice(bf.bottomMargin(), dpiY_);
    bl->pageBreakBefore = (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0;

    bl->layout->beginLayout();
    qreal y = 0;
    for (bool first = true;; first = false) {
        QTextLine line = bl->layout->createLine();
        if (!line.isValid())
            break;
        const qreal x = std::max<qreal>(0, left + (first ? indent : 0));
        line.setLineWidth(std::max<qreal>(1, width_ - x - right));
        line.setPosition(QPointF(x, y));
        y += line.height();
    }
    bl->layout->endLayout();
    blocks_[number] = std::move(bl);
    return *blocks_[number];
}

void TRichEdit::Printer::draw(QPainter *painter, BlockLayout &bl, int firstLine, int lastLine,
                              QPointF origin, qreal top)
{
    const QTextLine first = bl.layout->lineAt(firstLine);
    const QPointF at(origin.x(), origin.y() + top - first.y());
    // Line by line: the block's lines on other pages must not reach this one, not even clipped.
    painter->save();
    painter->setPen(Qt::black);
    for (int i = firstLine; i <= lastLine; ++i)
        bl.layout->lineAt(i).draw(painter, at);
    if (bl.bullet && firstLine == 0) {
        painter->setFont(bl.bulletFont);
        const QString bullet(QChar(0x2022));
        const qreal w = QFontMetricsF(bl.bulletFont, painter->device()).horizontalAdvance(bullet + u' ');
        painter->drawText(QPointF(at.x() + bl.bulletRight - w, at.y() + first.y() + first.ascent()), bullet);
    }
    painter->restore();
}

int TRichEdit::Printer::format(const TFormatRange &range, bool render)
{
    const int length = document_->characterCount() - 1;
    const int cpMax = range.cpMax < 0 || range.cpMax > length ? length : range.cpMax;
    const int cpMin = std::clamp(range.cpMin, 0, length);
    if (cpMin >= cpMax)
        return cpMax;
    const int dpiX = range.dpiX > 0 ? range.dpiX : 96;
    const int dpiY = range.dpiY > 0 ? range.dpiY : 96;
    const qreal width = std::max<qreal>(1, twipsToDevice(range.rc.right - range.rc.left, dpiX));
    if (dpiX != dpiX_ || dpiY != dpiY_ || width != width_ || revision_ != document_->revision()) {
        blocks_.clear();
        dpiX_ = dpiX;
        dpiY_ = dpiY;
        width_ = width;
        revision_ = document_->revision();
    }
    const qreal height = twipsToDevice(range.rc.bottom - range.rc.top, dpiY);
    const QPointF origin(twipsToDevice(range.rc.left, dpiX), twipsToDevice(range.rc.top, dpiY));
    QPainter *painter = render ? range.painter : nullptr;

    QTextBlock block = document_->findBlock(cpMin);
    // Pages go forward: layouts of the blocks before this page are no longer needed.
    const auto firstNumber = static_cast<std::size_t>(block.blockNumber());
    for (std::size_t i = 0; i < std::min(firstNumber, blocks_.size()); ++i)
        blocks_[i].reset();

    qreal y = 0;
    bool placed = false;
    int pos = cpMin;
    while (block.isValid() && pos < cpMax) {
        BlockLayout &bl = layoutOf(block);
        const int rel = pos - block.position();
        int lineIndex = bl.layout->lineForTextPosition(rel).lineNumber();
        if (lineIndex < 0)
            lineIndex = 0;
        if (lineIndex == 0) {
            if (bl.pageBreakBefore && placed)
                return pos;
            y += bl.spaceBefore;
        }
        const int lines = bl.layout->lineCount();
        const int chunkFirst = lineIndex;
        const qreal chunkTop = y;
        int chunkLast = -1;
        for (; lineIndex < lines; ++lineIndex) {
            const QTextLine line = bl.layout->lineAt(lineIndex);
            if (placed && y + line.height() > height) {
                if (painter && chunkLast >= chunkFirst)
                    draw(painter, bl, chunkFirst, chunkLast, origin, chunkTop);
                return block.position() + line.textStart();
            }
            y += line.height();
            placed = true;
            chunkLast = lineIndex;
            if (block.position() + line.textStart() + line.textLength() >= cpMax &&
                lineIndex + 1 < lines) {
                ++lineIndex;
                break;
            }
        }
        if (painter && chunkLast >= chunkFirst)
            draw(painter, bl, chunkFirst, chunkLast, origin, chunkTop);
        if (lineIndex < lines)
            return cpMax; // the range ends inside this block
        y += bl.spaceAfter;
        pos = block.position() + block.length();
        block = block.next();
    }
    return std::min(pos, cpMax);
}

} // namespace kelpa::richedit
