#include "richedit/TRichEditConvert.h"

#include "richedit/rtf/RtfWriter.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <cmath>
#include <optional>
#include <vector>
#include <unordered_map>

namespace kelpa::richedit {
namespace {

QColor toQColor(const rtf::Color &c)
{
    return QColor(c.red, c.green, c.blue);
}

rtf::Color fromBrush(const QTextFormat &format, int property)
{
    if (!format.hasProperty(property))
        return {};
    const QBrush brush = format.brushProperty(property);
    if (brush.style() == Qt::NoBrush)
        return {};
    const QColor c = brush.color();
    return rtf::Color::rgb(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                           static_cast<std::uint8_t>(c.blue()));
}

int twips(qreal pixels)
{
    return static_cast<int>(std::lround(pixels * kTwipsPerPixel));
}

QTextBlockFormat blockFormatOf(const rtf::ParagraphFormat &p)
{
    QTextBlockFormat f;
    f.setAlignment(toQt(p.alignment));
    f.setLeftMargin(p.leftIndent / kTwipsPerPixel);
    f.setRightMargin(p.rightIndent / kTwipsPerPixel);
    f.setTextIndent(p.firstIndent / kTwipsPerPixel);
    f.setTopMargin(p.spaceBefore / kTwipsPerPixel);
    f.setBottomMargin(p.spaceAfter / kTwipsPerPixel);
    if (p.pageBreakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return f;
}

rtf::ParagraphFormat paragraphOf(const QTextBlock &block)
{
    const QTextBlockFormat f = block.blockFormat();
    rtf::ParagraphFormat p;
    p.alignment = alignmentOf(f.alignment());
    p.leftIndent = twips(f.leftMargin());
    p.rightIndent = twips(f.rightMargin());
    p.firstIndent = twips(f.textIndent());
    p.spaceBefore = twips(f.topMargin());
    p.spaceAfter = twips(f.bottomMargin());
    p.pageBreakBefore = (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0;
    p.bullet = block.textList() != nullptr;
    return p;
}

} // namespace

QTextCharFormat toQt(const rtf::CharFormat &c)
{
    QTextCharFormat f;
    if (!c.fontName.empty())
        f.setFontFamilies({QString::fromStdU16String(c.fontName)});
    f.setFontPointSize(c.sizeHalfPoints / 2.0);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    if (!c.color.automatic)
        f.setForeground(toQColor(c.color));
    if (!c.highlight.automatic)
        f.setBackground(toQColor(c.highlight));
    if (c.charset != 0)
        f.setProperty(kCharsetProperty, c.charset);
    if (c.hidden) {
        // The page has no hidden characters: they take no ink and next to no room.
        f.setProperty(kHiddenProperty, true);
        f.setProperty(kHiddenSizeProperty, c.sizeHalfPoints);
        if (!c.color.automatic)
            f.setProperty(kHiddenColorProperty, toQColor(c.color));
        f.setForeground(Qt::transparent);
        f.setFontPointSize(1);
        f.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        f.setFontLetterSpacing(-1);
    }
    return f;
}

QString fontFamilyOf(const QTextCharFormat &format, const QFont &defaultFont)
{
    const QStringList families = format.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty() && !families.front().isEmpty())
        return families.front();
    const QString family = format.property(QTextFormat::FontFamily).toString();
    return family.isEmpty() ? defaultFont.family() : family;
}

rtf::CharFormat fromQt(const QTextCharFormat &f, const QFont &defaultFont)
{
    rtf::CharFormat c;
    c.fontName = fontFamilyOf(f, defaultFont).toStdU16String();
    c.charset = f.intProperty(kCharsetProperty);
    qreal points = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : 0;
    if (points <= 0)
        points = defaultFont.pointSizeF() > 0 ? defaultFont.pointSizeF() : 12;
    c.sizeHalfPoints = static_cast<int>(std::lround(points * 2));
    c.bold = f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold
                                                    : defaultFont.weight() >= QFont::DemiBold;
    c.italic = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : defaultFont.italic();
    c.underline = f.hasProperty(QTextFormat::FontUnderline) || f.hasProperty(QTextFormat::TextUnderlineStyle)
                      ? f.fontUnderline()
                      : defaultFont.underline();
    c.strike = f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : defaultFont.strikeOut();
    c.color = fromBrush(f, QTextFormat::ForegroundBrush);
    c.highlight = fromBrush(f, QTextFormat::BackgroundBrush);
    c.hidden = f.boolProperty(kHiddenProperty);
    if (c.hidden) {
        // What the hiding itself set is not the text's format.
        c.color = {};
        if (f.hasProperty(kHiddenColorProperty)) {
            const QColor q = f.colorProperty(kHiddenColorProperty);
            c.color = rtf::Color::rgb(static_cast<std::uint8_t>(q.red()), static_cast<std::uint8_t>(q.green()),
                                      static_cast<std::uint8_t>(q.blue()));
        }
        c.sizeHalfPoints = f.hasProperty(kHiddenSizeProperty) ? f.intProperty(kHiddenSizeProperty) : 24;
    }
    return c;
}

Qt::Alignment toQt(rtf::Alignment a)
{
    switch (a) {
    case rtf::Alignment::Left: return Qt::AlignLeft | Qt::AlignAbsolute;
    case rtf::Alignment::Right: return Qt::AlignRight | Qt::AlignAbsolute;
    case rtf::Alignment::Center: return Qt::AlignHCenter;
    case rtf::Alignment::Justify: return Qt::AlignJustify;
    }
    return Qt::AlignLeft | Qt::AlignAbsolute;
}

rtf::Alignment alignmentOf(Qt::Alignment a)
{
    const Qt::Alignment h = a & Qt::AlignHorizontal_Mask;
    if (h & Qt::AlignHCenter)
        return rtf::Alignment::Center;
    if (h & Qt::AlignJustify)
        return rtf::Alignment::Justify;
    if (h & Qt::AlignRight)
        return rtf::Alignment::Right;
    return rtf::Alignment::Left;
}

rtf::Document toModel(const QTextDocument &document, int start, int end)
{
    const int length = document.characterCount() - 1;
    start = std::clamp(start, 0, length);
    end = end < 0 ? length : std::clamp(end, start, length);
    const QFont defaultFont = document.defaultFont();

    rtf::Document model;
    QTextBlock block = document.findBlock(start);
    // Formats repeat from run to run; each distinct one is converted once, by its index.
    std::unordered_map<int, rtf::CharFormat> formats;
    // A paragraph after the first is in the range when the break before it is.
    for (bool firstBlock = true; block.isValid(); block = block.next(), firstBlock = false) {
        if (!firstBlock && block.position() > end)
            break;
        rtf::Paragraph p;
        p.format = paragraphOf(block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const int fPos = fragment.position(); // not free: a walk of the fragment tree
            const int fStart = std::max(fPos, start);
            const int fEnd = std::min(fPos + fragment.length(), end);
            if (fStart >= fEnd)
                continue;
            const int index = fragment.charFormatIndex();
            auto found = formats.find(index);
            if (found == formats.end())
                found = formats.emplace(index, fromQt(fragment.charFormat(), defaultFont)).first;
            const QString text = fragment.text();
            const std::u16string_view view(reinterpret_cast<const char16_t *>(text.utf16()),
                                           static_cast<std::size_t>(text.size()));
            rtf::appendText(p, view.substr(static_cast<std::size_t>(fStart - fPos),
                                           static_cast<std::size_t>(fEnd - fStart)),
                            found->second);
        }
        model.paragraphs.push_back(std::move(p));
    }
    return model;
}

std::string toRtf(const QTextDocument &document, int start, int end)
{
    const int length = document.characterCount() - 1;
    start = std::clamp(start, 0, length);
    end = end < 0 ? length : std::clamp(end, start, length);
    const QFont defaultFont = document.defaultFont();
    rtf::WriteOptions options;
    options.defaultFontName = defaultFont.family().toStdU16String();
    rtf::RtfStreamWriter writer(options);

    // Each format the range uses, converted once by its index.
    std::vector<std::optional<rtf::CharFormat>> formats;
    auto formatOf = [&](int index, auto charFormat) -> const rtf::CharFormat & {
        index = std::max(index, 0);
        if (static_cast<std::size_t>(index) >= formats.size())
            formats.resize(static_cast<std::size_t>(index) + 1);
        auto &slot = formats[static_cast<std::size_t>(index)];
        if (!slot) {
            slot = fromQt(charFormat(), defaultFont);
            writer.declare(*slot);
        }
        return *slot;
    };
    const QTextBlock first = document.findBlock(start);
    auto inRange = [&](const QTextBlock &b) { return b.isValid() && (b == first || b.position() <= end); };
    for (QTextBlock b = first; inRange(b); b = b.next()) {
        formatOf(b.charFormatIndex(), [&] { return b.charFormat(); });
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            formatOf(fragment.charFormatIndex(), [&] { return fragment.charFormat(); });
        }
    }

    writer.begin(static_cast<std::size_t>(end - start));
    for (QTextBlock b = first; inRange(b); b = b.next()) {
        // Fragments of the block within the range; the first one's format leads the paragraph.
        struct Piece {
            QTextFragment fragment;
            int position, from, to;
        };
        std::vector<Piece> pieces;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int fPos = fragment.position();
            const int fStart = std::max(fPos, start);
            const int fEnd = std::min(fPos + fragment.length(), end);
            if (fStart < fEnd)
                pieces.push_back({fragment, fPos, fStart, fEnd});
        }
        writer.beginParagraph(paragraphOf(b),
                              pieces.empty() ? nullptr
                                             : &formatOf(pieces.front().fragment.charFormatIndex(),
                                                         [&] { return pieces.front().fragment.charFormat(); }));
        for (const Piece &piece : pieces) {
            const QTextFragment &fragment = piece.fragment;
            const int fPos = piece.position;
            const int fStart = piece.from;
            const int fEnd = piece.to;
            const rtf::CharFormat &f =
                formatOf(fragment.charFormatIndex(), [&] { return fragment.charFormat(); });
            const QString text = fragment.text();
            const std::u16string_view view(reinterpret_cast<const char16_t *>(text.utf16()),
                                           static_cast<std::size_t>(text.size()));
            writer.run(view.substr(static_cast<std::size_t>(fStart - fPos), static_cast<std::size_t>(fEnd - fStart)), f);
        }
        writer.endParagraph();
    }
    return writer.finish();
}

void fillDocument(QTextDocument &document, const rtf::Document &model)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    QTextList *list = nullptr;
    const rtf::CharFormat *lastFormat = nullptr;
    QTextCharFormat lastQt;
    bool first = true;
    for (const rtf::Paragraph &p : model.paragraphs) {
        const QTextBlockFormat bf = blockFormatOf(p.format);
        QTextCharFormat blockChar;
        if (!p.runs.empty())
            blockChar = toQt(p.runs.front().format);
        if (first) {
            cursor.setBlockFormat(bf);
            cursor.setBlockCharFormat(blockChar);
            first = false;
        } else {
            cursor.insertBlock(bf, blockChar);
        }
        if (p.format.bullet) {
            if (list)
                list->add(cursor.block());
            else {
                QTextListFormat lf;
                lf.setStyle(QTextListFormat::ListDisc);
                lf.setIndent(1);
                list = cursor.createList(lf);
            }
        } else {
            list = nullptr;
        }
        for (const rtf::Run &r : p.runs) {
            if (!lastFormat || !(*lastFormat == r.format)) {
                lastQt = toQt(r.format);
                lastFormat = &r.format;
            }
            cursor.insertText(QString::fromStdU16String(r.text), lastQt);
        }
    }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

} // namespace kelpa::richedit
