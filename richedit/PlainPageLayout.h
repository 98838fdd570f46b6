#pragma once
// PlainPageLayout: the document layout of a plain page. Qt's own layout moves every line of
// every paragraph after an edit; this one keeps a height per paragraph and lays paragraphs out
// only when they are painted, hit or asked for, so an edit costs the paragraphs it touches.
//
//   doc->setDocumentLayout(new PlainPageLayout(doc)); // the document owns it
//
// Heights of paragraphs not yet laid out are estimated from their lines (exact without wrap
// for a page of one font) and made exact by a background pass in small timer steps. Without
// wrap the width is that of the widest line laid out so far.
#include <QAbstractTextDocumentLayout>
#include <QBasicTimer>
#include <QElapsedTimer>

class QTextLayout;

#include <vector>

namespace kelpa::richedit {

class PlainPageLayout : public QAbstractTextDocumentLayout {
    Q_OBJECT
public:
    explicit PlainPageLayout(QTextDocument *document);

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // For tests: paragraphs laid out on demand (painting, hits, rectangles) since the last
    // reset, and the highest paragraph number among them (-1: none).
    int demandLayouts() const { return demandLayouts_; }
    int lastDemandBlock() const { return lastDemandBlock_; }
    void resetDemandCount() { demandLayouts_ = 0; lastDemandBlock_ = -1; }
    // Stops or resumes the background pass that makes estimated heights exact.
    void setBackgroundEnabled(bool enabled);
    bool backgroundDone() const { return refineFrom_ >= static_cast<int>(blocks_.size()); }
    int measuredUpTo() const { return refineFrom_; } // the paragraphs before it are measured

signals:
    // The background pass changed the height of blocks above the part last painted by dy: a
    // view keeps its text in place by scrolling as much.
    void heightAboveChanged(qreal dy);

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;
    void timerEvent(QTimerEvent *event) override;

private:
    struct Block {
        qreal height = 0;
        bool exact = false;
        std::vector<int> lineLengths; // of the text lines separated by U+2028
    };

    void rebuild();
    void measureFonts();
    void readLines(const QTextBlock &block, Block &into) const;
    qreal estimate(const Block &b) const;
    qreal availableWidth() const;
    bool wraps() const;
    // Lays the block out unless it is laid out at the current geometry; true when it was.
    bool layOut(const QTextBlock &block, int number) const;
    // Measures the block without laying it out (a block laid out keeps its lines).
    void measure(const QTextBlock &block, int number) const;
    qreal placeLines(QTextLayout &layout, const QTextBlock &block) const;
    // The punctuation mark a piece of a long line ends in, laid out to be drawn after its text.
    bool layOutTail(const QTextBlock &block, QTextLayout &tail) const;
    qreal tailWidth(const QTextBlock &block) const;
    void setHeight(int number, qreal height) const;
    qreal top(int number) const; // number == count: the bottom of the last block
    int blockAt(qreal y) const;  // the block whose span holds y, clamped to the blocks
    QTextBlock placed(int number, const QTextBlock &block) const;
    void scheduleSizeCheck() const;
    void emitSizeIfChanged();
    void refineStep();

    mutable std::vector<Block> blocks_;
    mutable std::vector<qreal> tops_;  // tops_[i]: top of block i; entries [0, topsValid_] hold
    mutable int topsValid_ = 0;
    mutable qreal widest_ = 0;
    qreal lineHeight_ = 16;
    qreal averageAdvance_ = 7;
    bool contentChanged_ = false;
    bool backgroundEnabled_ = true;
    int refineFrom_ = 0;
    mutable bool sizeCheckDue_ = false;
    mutable QBasicTimer timer_;
    QSizeF lastReportedSize_;
    mutable int demandLayouts_ = 0;
    mutable int lastDemandBlock_ = -1;
    qreal paintedTop_ = 0;
    QElapsedTimer lastPaint_; // the last paint the background pass did not ask for
    bool selfUpdate_ = false;
};

} // namespace kelpa::richedit
