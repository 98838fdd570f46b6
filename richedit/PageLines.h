#pragma once
// The lines of a plain page's document: a very long line held in pieces (paragraphs whose break
// before them stands for a character of the line, PieceBreak.h) and the index of the first line
// of every paragraph, with the line separators that hold many short lines in one paragraph.
// Positions are the document's; the breaks before pieces count one character, as the characters
// they stand for.
#include <QString>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace kelpa::richedit {

class PageLines {
public:
    explicit PageLines(QTextDocument *document) : document_(document) {}

    // A line longer than this is held in pieces.
    int PieceLength() const { return pieceLength_; }
    void SetPieceLength(int characters);

    // Whether the document may hold a line in pieces.
    bool HasPieces() const { return pieces_; }
    void SetHasPieces(bool pieces) { pieces_ = pieces; }

    struct Break {
        qsizetype at;
        char16_t stands; // the character of the line the break stands for
    };
    // In lines ('\n' breaks) of `text` longer than the piece length, a character about every
    // piece length becomes U+2029; returns the characters replaced, in order.
    std::vector<Break> Split(QString &text) const;
    // Marks the paragraphs after `breaks` (positions in the document as it now is) as pieces.
    void MarkPieces(const std::vector<Break> &breaks);
    // Inserts a text whose '\n' start lines and whose U+2029 start pieces of a long line (the
    // character each stands for in `stands`, in order).
    void InsertPieces(QTextCursor &cursor, const QString &text, const std::vector<char16_t> &stands);
    // The document's text from docStart with the breaks before pieces turned back into the
    // characters they stand for.
    void Restore(QString &raw, int docStart) const;
    QString Range(int from, int to) const;
    // The first hit of `text` in [start, end) that runs over the break before a piece, when it
    // starts before `found` (or found is -1); else found.
    int FindAcrossBreaks(const QString &text, int start, int end, int found, bool matchCase,
                         bool wholeWord) const;

    // Lines: counted on demand, so that an edit costs only the paragraphs before the line asked.
    int Count() const;
    int LineAt(int position) const;
    bool Span(int line, int &start, int &end) const; // end: before the line's break
    // The document changed from `from` on, `added` characters put in.
    void NoteChange(int from, int added);
    // Every paragraph counts again (the page's kind or whole text changed).
    void Forget() { linesKnown_ = 0; }

private:
    // Counts lines up to paragraph `upTo` (or until more than `line` lines are counted).
    void ensureIndex(int upTo, int line = -1) const;

    QTextDocument *document_;
    int pieceLength_ = 1024;
    bool pieces_ = false;
    // Lines before each paragraph; entries [0, linesKnown_] hold.
    mutable std::vector<int> firstLine_{0};
    mutable int linesKnown_ = 0;
};

} // namespace kelpa::richedit
