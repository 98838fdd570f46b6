#include "richedit/TRichEditLines.h"

#include "richedit/TRichEdit.h"
#include "richedit/PieceBreak.h"

#include <QTextCursor>

#include <algorithm>

namespace kelpa::richedit {

namespace {

// A new paragraph would take the format of the one it comes from: after a piece of a long
// line it would be another piece, joining the next line to that one.
void insertLineBreak(QTextCursor &c)
{
    QTextBlockFormat line = c.blockFormat();
    line.clearProperty(piecebreak::kProperty);
    c.insertBlock(line);
}

} // namespace

int TRichEditLines::Count() const
{
    return owner_->TextLength() == 0 ? 0 : owner_->lineTotal();
}

QString TRichEditLines::Strings(int index) const
{
    int start = 0;
    int end = 0;
    if (owner_->TextLength() == 0 || !owner_->lineSpan(index, start, end))
        return {};
    return owner_->spanText(start, end);
}

void TRichEditLines::Add(const QString &line)
{
    QTextCursor c(owner_->document());
    c.movePosition(QTextCursor::End);
    c.beginEditBlock();
    if (owner_->TextLength() > 0)
        insertLineBreak(c);
    owner_->insertPlain(c, line);
    c.endEditBlock();
}

void TRichEditLines::Insert(int index, const QString &line)
{
    int start = 0;
    int end = 0;
    if (index >= Count() || !owner_->lineSpan(std::max(index, 0), start, end)) {
        Add(line);
        return;
    }
    QTextCursor c(owner_->document());
    c.setPosition(start);
    c.beginEditBlock();
    owner_->insertPlain(c, line);
    insertLineBreak(c);
    c.endEditBlock();
}

void TRichEditLines::Delete(int index)
{
    int start = 0;
    int end = 0;
    if (index < 0 || index >= Count() || !owner_->lineSpan(index, start, end))
        return;
    QTextCursor c(owner_->document());
    if (index + 1 < Count()) {
        c.setPosition(start);
        c.setPosition(end + 1, QTextCursor::KeepAnchor); // with its break
    } else if (index > 0) {
        // The last line goes with the break before it.
        c.setPosition(start - 1);
        c.setPosition(end, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

void TRichEditLines::Clear()
{
    owner_->Clear();
}

QString TRichEditLines::Text() const
{
    if (owner_->TextLength() == 0)
        return {};
    QString raw = owner_->document()->toRawText();
    owner_->pages_.Restore(raw, 0);
    const char16_t *in = reinterpret_cast<const char16_t *>(raw.utf16());
    const qsizetype n = raw.size();
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < n; ++i)
        breaks += in[i] == 0x2029 || in[i] == 0x2028;
    // Sized first and written in place: pages run to hundreds of megabytes.
    QString out(n + breaks + 2, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i] == 0x2029 || in[i] == 0x2028) {
            *o++ = u'\r';
            *o++ = u'\n';
        } else {
            *o++ = in[i];
        }
    }
    *o++ = u'\r';
    *o = u'\n';
    return out;
}

void TRichEditLines::SetText(const QString &text)
{
    QString t = text;
    if (t.endsWith(QStringLiteral("\r\n")))
        t.chop(2);
    else if (t.endsWith(QChar(u'\n')) || t.endsWith(QChar(u'\r')))
        t.chop(1);
    owner_->SetText(t);
}

void TRichEditLines::LoadFromStream(const QByteArray &bytes)
{
    owner_->LoadFromStream(bytes);
}

QByteArray TRichEditLines::SaveToStream() const
{
    return owner_->SaveToStream();
}

bool TRichEditLines::LoadFromFile(const QString &fileName)
{
    return owner_->LoadFromFile(fileName);
}

bool TRichEditLines::SaveToFile(const QString &fileName)
{
    return owner_->SaveToFile(fileName);
}

} // namespace kelpa::richedit
