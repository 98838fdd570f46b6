#pragma once
// Range formatting of a TRichEdit's document for a device of a given resolution: the blocks are
// laid out once per device and width (fonts in device pixels, no hinting) and the same layout
// serves measuring and drawing, so both give the same page breaks.
#include "richedit/TRichEdit.h"

#include <QTextLayout>

#include <memory>
#include <vector>

namespace kelpa::richedit {

class TRichEdit::Printer {
public:
    explicit Printer(QTextDocument *document) : document_(document) {}
    int format(const TFormatRange &range, bool render);
    void reset();

private:
    struct BlockLayout {
        std::unique_ptr<QTextLayout> layout;
        qreal spaceBefore = 0;
        qreal spaceAfter = 0;
        bool pageBreakBefore = false;
        bool bullet = false;
        QFont bulletFont;
        qreal bulletRight = 0; // where the bullet ends, left of the text
    };

    BlockLayout &layoutOf(const QTextBlock &block);
    QFont deviceFont(QFont font) const;
    void draw(QPainter *painter, BlockLayout &bl, int firstLine, int lastLine, QPointF origin,
              qreal top);

    QTextDocument *document_;
    int dpiX_ = 0;
    int dpiY_ = 0;
    qreal width_ = 0;
    int revision_ = -1;
    std::vector<std::unique_ptr<BlockLayout>> blocks_; // by block number, made when needed
};

} // namespace kelpa::richedit
