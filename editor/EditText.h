#pragma once
// Text work of the editing and search commands, without widgets: inserted date and separator
// texts, the keystroke repair, word letters and the word at the caret, case changes, the
// search hits of Replace All and bookmarks that move with the text.
#include "editor/Names.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

namespace kelpa::editor {

// The date texts of "Current &Date" by DateFormatOption (0 day/month/year, 1 month/day/year,
// 2 day/monthname/year, 3 monthname/day/year); numbers without leading zeros, `months` the
// twelve long month names from January on. Another option gives "".
QString dateText(int option, const QDate &date, QChar separator, const QStringList &months);
// The locale's date separator and long month names.
QChar localeDateSeparator();
QStringList localeMonthNames();

// Longest separator line built, whatever length the settings hold.
inline constexpr int kMaxSeparatorLength = 4096;
// The length a separator is built with: below 1 becomes 72 (which is then also stored).
int separatorLengthInUse(int stored);
// "\n" + n underscores + "\n", or for a header "\n" + n underscores + "\nTitle\n" + n macrons
// (U+00AF, byte 175 of Windows-1252) + "\n"; n capped at kMaxSeparatorLength.
QString separatorText(bool header, int length);

// Repairs a typed character that the editor lost: the key-down remembers the text length and
// caret; the key-press the character; at key-up, when neither moved, the character is given
// back for insertion.
class KeystrokeRepair {
public:
    void keyDown(int textLength, int caret)
    {
        length_ = textLength;
        caret_ = caret;
    }
    // Characters 32..255 and CR are remembered; others leave the pending text as it is.
    void keyPress(QChar ch);
    // What to insert ("" for nothing); the pending character is dropped in every case.
    QString keyUp(int textLength, int caret, bool readOnly, bool altOrCtrl);
    QString pending() const { return pending_; }

private:
    int length_ = -1;
    int caret_ = -1;
    QString pending_;
};

// Letters of words: a-z, A-Z, 0-9, the accented letters of Windows-1252 and the apostrophe.
bool IsWordLetter(unsigned char byte);
// A character of the page: one of Windows-1252 by its byte, any other by its own script.
bool IsWordLetter(QChar ch);

struct WordSpan {
    int start = 0;
    int length = 0;
    bool empty() const { return length == 0; }
};
// The word that holds the character after `caret`, else the next word to its right; empty at
// `text`'s length when there is none.
WordSpan wordAtCaret(const QString &text, int caret);
// The check-word of a selection: trimmed, cut before its first blank or line break.
QString firstWordOf(const QString &selection);

// Case forms that keep the length: a character whose other form is longer (ß) stays.
QString lowerCaseKeepingLength(const QString &text);
QString upperCaseKeepingLength(const QString &text);

// Every hit of `what` in `text` from `from` on that starts before `limit` (-1: anywhere), one
// after the other without overlapping. Case-insensitive unless `matchCase`; with `wholeWord` a
// hit has no letter or digit beside it. A no-break space matches a blank, as the page
// editor's own search has it.
std::vector<int> findHits(const QString &text, const QString &what, int from, int limit, bool wholeWord, bool matchCase);

// A position after a change of the text at `from` that removed `removed` characters and
// inserted `added`: before the change it stays, after it moves with the text, inside it stays
// within the new text. -1 (unset) stays -1.
int shiftedPosition(int position, int from, int removed, int added);

} // namespace kelpa::editor
