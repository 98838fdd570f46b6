#pragma once
// Between our document model and QTextDocument. Lengths: the control keeps paragraph indents
// and spacing in pixels of 96 per inch (4/3 pixels per point, as the ruler counts), the model
// in twips, so one pixel is 15 twips.
#include "richedit/rtf/RtfDocument.h"

#include <QTextCharFormat>

#include <string>

class QTextDocument;
class QTextBlockFormat;

namespace kelpa::richedit {

constexpr double kTwipsPerPixel = 15.0;
constexpr double kPixelsPerPoint = 4.0 / 3.0;
// Char format property that keeps the RTF charset of a run's font.
constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;
// Char format property of hidden text: kept in the document, drawn as nothing visible.
constexpr int kHiddenProperty = QTextFormat::UserProperty + 2;
constexpr int kHiddenSizeProperty = QTextFormat::UserProperty + 3;  // its own size, half points
constexpr int kHiddenColorProperty = QTextFormat::UserProperty + 4; // its own colour, if any

QTextCharFormat toQt(const rtf::CharFormat &format);
rtf::CharFormat fromQt(const QTextCharFormat &format, const QFont &defaultFont);
QString fontFamilyOf(const QTextCharFormat &format, const QFont &defaultFont);
Qt::Alignment toQt(rtf::Alignment alignment);
rtf::Alignment alignmentOf(Qt::Alignment alignment);

// Paragraphs of [start, end) (end -1: to the end); a range that ends just after a paragraph
// break carries a last, empty paragraph so that the break survives.
rtf::Document toModel(const QTextDocument &document, int start, int end);
// RTF of [start, end) straight from the document, as writeRtf(toModel(...)) would give it.
std::string toRtf(const QTextDocument &document, int start, int end);
// Replaces the document's content (not its default font) by the model's.
void fillDocument(QTextDocument &document, const rtf::Document &model);

} // namespace kelpa::richedit
