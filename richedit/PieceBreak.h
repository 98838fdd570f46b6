#pragma once
// A plain page holds a very long line in pieces: paragraphs whose break before them stands for a
// character of the line (a blank, else an ASCII punctuation mark), kept on the paragraph.
#include <QTextBlock>
#include <QTextFormat>

namespace kelpa::richedit::piecebreak {

constexpr int kProperty = QTextFormat::UserProperty + 0x4B;

// The character the break before this paragraph stands for; 0 for a real line break.
inline char16_t before(const QTextBlock &block)
{
    return static_cast<char16_t>(block.blockFormat().intProperty(kProperty));
}

inline bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Punctuation marks a piece may end in: shown at the end of the piece, as a blank needs not be.
inline bool isMark(char16_t c)
{
    return c >= 0x21 && c <= 0x7E && !(c >= u'0' && c <= u'9') && !(c >= u'a' && c <= u'z') &&
           !(c >= u'A' && c <= u'Z');
}

// The mark to show after this paragraph's text, 0 when none.
inline char16_t shownAfter(const QTextBlock &block)
{
    const QTextBlock next = block.next();
    if (!next.isValid())
        return 0;
    const char16_t c = before(next);
    return isMark(c) ? c : 0;
}

} // namespace kelpa::richedit::piecebreak
