#pragma once
// The page control's character and paragraph attributes, and the style, alignment and search
// values they and TRichEdit take.
#include <QColor>
#include <QFlags>
#include <QString>

namespace kelpa::richedit {

enum class TFontStyle { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

// Values as the editor's alignment buttons carry them in their Tag.
enum class TAlignment { LeftJustify = 0, RightJustify = 1, Center = 2, Justify = 3 };
enum class TNumberingStyle { None, Bullet };
enum class TScrollStyle { None, Horizontal, Vertical, Both };

enum class TSearchType { WholeWord = 1, MatchCase = 2 };
Q_DECLARE_FLAGS(TSearchTypes, TSearchType)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSearchTypes)

class TRichEdit;

// Character attributes: of the selection (SelAttributes; with no selection, the typing
// attributes) or the control's defaults (DefAttributes). Reading a mixed selection gives the
// attributes of its first character.
class TTextAttributes {
public:
    QString Name() const;
    void SetName(const QString &name);
    int Size() const; // points
    void SetSize(int points);
    QColor Color() const;
    void SetColor(const QColor &color);
    TFontStyles Style() const;
    void SetStyle(TFontStyles style);
    // Adds or removes one style and leaves the others of every run of the selection as they are.
    void ChangeStyle(TFontStyle style, bool on);

private:
    friend class TRichEdit;
    TTextAttributes(TRichEdit *owner, bool defaults) : owner_(owner), defaults_(defaults) {}
    TRichEdit *owner_;
    bool defaults_;
};

// Paragraph attributes of the paragraphs the selection touches (reading: the first of them).
// FirstIndent: first line from the left edge; LeftIndent: the other lines relative to the first
// line; RightIndent: from the right edge. All in points.
class TParaAttributes {
public:
    TAlignment Alignment() const;
    void SetAlignment(TAlignment alignment);
    int FirstIndent() const;
    void SetFirstIndent(int points);
    int LeftIndent() const;
    void SetLeftIndent(int points);
    int RightIndent() const;
    void SetRightIndent(int points);
    TNumberingStyle Numbering() const;
    void SetNumbering(TNumberingStyle numbering);

private:
    friend class TRichEdit;
    explicit TParaAttributes(TRichEdit *owner) : owner_(owner) {}
    TRichEdit *owner_;
};

} // namespace kelpa::richedit
