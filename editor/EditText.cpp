#include "editor/EditText.h"

#include "platform/codepage/CodePage.h"

#include <QLocale>

#include <array>

namespace kelpa::editor {

QString dateText(int option, const QDate &date, QChar separator, const QStringList &months)
{
    const QString day = QString::number(date.day());
    const QString month = QString::number(date.month());
    const QString year = QString::number(date.year());
    const QString name = months.value(date.month() - 1);
    switch (option) {
    case 0:
        return day + separator + month + separator + year;
    case 1:
        return month + separator + day + separator + year;
    case 2:
        return day + separator + name + separator + year;
    case 3:
        return name + separator + day + separator + year;
    default:
        return {};
    }
}

QChar localeDateSeparator()
{
    // The first character of the short date format that is no field letter.
    const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (QChar ch : format)
        if (!ch.isLetter() && !ch.isSpace() && ch != QLatin1Char('\''))
            return ch;
    return QLatin1Char('/');
}

QStringList localeMonthNames()
{
    QStringList names;
    const QLocale locale = QLocale::system();
    for (int m = 1; m <= 12; ++m)
        names << locale.monthName(m, QLocale::LongFormat);
    return names;
}

int separatorLengthInUse(int stored) { return stored < 1 ? 72 : stored; }

QString separatorText(bool header, int length)
{
    const int n = std::min(separatorLengthInUse(length), kMaxSeparatorLength);
    const QString underscores(n, QLatin1Char('_'));
    if (!header)
        return QLatin1Char('\n') + underscores + QLatin1Char('\n');
    return QLatin1Char('\n') + underscores + QStringLiteral("\nTitle\n") + QString(n, QChar(0xAF)) + QLatin1Char('\n');
}

void KeystrokeRepair::keyPress(QChar ch)
{
    if (ch.unicode() == 13)
        pending_ = QStringLiteral("\r");
    else if (ch.unicode() >= 32 && ch.unicode() <= 255)
        pending_ = QString(ch);
}

QString KeystrokeRepair::keyUp(int textLength, int caret, bool readOnly, bool altOrCtrl)
{
    QString insert;
    if (textLength == length_ && caret == caret_ && !readOnly && !altOrCtrl && !pending_.isEmpty())
        insert = pending_ == QLatin1String("\r") ? QStringLiteral("\r\n") : pending_;
    pending_.clear();
    return insert;
}

namespace {

constexpr std::array<unsigned char, 59> kWordLetters = {
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0xF0, 0xF1, 0xF8, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFF, 0x27,
};

} // namespace

bool IsWordLetter(unsigned char byte)
{
    const auto c = static_cast<signed char>(byte);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    for (unsigned char letter : kWordLetters)
        if (letter == byte)
            return true;
    return false;
}

bool IsWordLetter(QChar ch)
{
    // A character of code page 1252 counts by the table; one the code page does not hold
    // (Cyrillic, Greek, ...) is a letter when its own script makes it one, so that a word in
    // such a text is a word.
    std::uint8_t byte = 0;
    if (codepage::encodeChar(1252, ch.unicode(), byte))
        return IsWordLetter(byte);
    return ch.isLetterOrNumber();
}

WordSpan wordAtCaret(const QString &text, int caret)
{
    const int n = static_cast<int>(text.size());
    if (n == 0)
        return {0, 0};
    int d = std::clamp(caret, 0, n);
    if (d < n && IsWordLetter(text[d])) {
        while (d > 0 && IsWordLetter(text[d - 1]))
            --d;
    } else {
        while (d < n && !IsWordLetter(text[d]))
            ++d;
        if (d == n)
            return {n, 0};
    }
    int i = d;
    while (i < n && IsWordLetter(text[i]))
        ++i;
    return {d, i - d};
}

QString firstWordOf(const QString &selection)
{
    QString word = selection.trimmed();
    qsizetype cut = word.size();
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        if (c == u' ' || c == u'\r' || c == u'\n' || c == 0x2029 || c == 0x2028 || c == u'\v') {
            cut = i;
            break;
        }
    }
    return word.left(cut);
}

namespace {

template <class F>
QString keepingLength(const QString &text, F convert)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        // Surrogate pairs stay as they are: their case forms are not one unit for one.
        const QChar ch = out[i];
        if (ch.isSurrogate())
            continue;
        const QString converted = convert(QString(ch));
        if (converted.size() == 1)
            out[i] = converted[0];
    }
    return out;
}

} // namespace

QString lowerCaseKeepingLength(const QString &text)
{
    return keepingLength(text, [](const QString &s) { return s.toLower(); });
}

QString upperCaseKeepingLength(const QString &text)
{
    return keepingLength(text, [](const QString &s) { return s.toUpper(); });
}

std::vector<int> findHits(const QString &text, const QString &what, int from, int limit, bool wholeWord, bool matchCase)
{
    std::vector<int> hits;
    if (what.isEmpty())
        return hits;
    QString haystack = text;
    haystack.replace(QChar::Nbsp, QLatin1Char(' '));
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype n = haystack.size();
    const qsizetype length = what.size();
    qsizetype at = std::max(from, 0);
    while (at <= n) {
        const qsizetype p = haystack.indexOf(what, at, cs);
        if (p < 0 || (limit >= 0 && p >= limit))
            break;
        const qsizetype end = p + length;
        if (wholeWord && ((p > 0 && haystack[p - 1].isLetterOrNumber()) || (end < n && haystack[end].isLetterOrNumber()))) {
            at = p + 1;
            continue;
        }
        hits.push_back(static_cast<int>(p));
        at = end;
    }
    return hits;
}

int shiftedPosition(int position, int from, int removed, int added)
{
    if (position < 0 || position < from)
        return position;
    if (position >= from + removed)
        return position + added - removed;
    return std::min(position, from + added);
}

} // namespace kelpa::editor
