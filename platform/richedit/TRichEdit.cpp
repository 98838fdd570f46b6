#include "platform/richedit/TRichEdit.h"

#include "platform/richedit/TRichEditConvert.h"
#include "platform/richedit/TRichEditPrinter.h"
#include "platform/richedit/rtf/RtfReader.h"
#include "platform/richedit/rtf/RtfWriter.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextList>

#include <cmath>

using namespace kelpa;
using kelpa::richedit::kPixelsPerPoint;

namespace {

constexpr char kRtfMime[] = "text/rtf";
constexpr char kRtfMimeAlt[] = "application/rtf";

// Line breaks as the control keeps them: "\r\n", "\r" and "\n" are one paragraph break; '\v'
// (and U+2028) a line break inside the paragraph, or a paragraph break in plain mode.
QString normalizeBreaks(const QString &text, bool plain)
{
    QString out;
    out.reserve(text.size());
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c == u'\r') {
            if (i + 1 < n && p[i + 1] == u'\n')
                ++i;
            out += QChar(u'\n');
        } else if (c == u'\v' || c == 0x2028) {
            out += plain ? QChar(u'\n') : QChar(QChar::LineSeparator);
        } else if (c == 0x2029) {
            out += QChar(u'\n');
        } else {
            out += p[i];
        }
    }
    return out;
}

bool needsNormalizing(const QString &text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\v' || u == 0x2028 || u == 0x2029)
            return true;
    }
    return false;
}

// The control's positions as text: paragraph breaks '\n', line breaks '\v'.
QString positionsText(QString raw)
{
    for (QChar &c : raw) {
        if (c.unicode() == 0x2029)
            c = QChar(u'\n');
        else if (c.unicode() == 0x2028)
            c = QChar(u'\v');
    }
    return raw;
}

int toPoints(qreal pixels)
{
    return static_cast<int>(std::lround(pixels / kPixelsPerPoint));
}

template <typename Fn>
void forEachSelectedBlock(const QTextCursor &selection, Fn fn)
{
    QTextDocument *doc = selection.document();
    QTextBlock block = doc->findBlock(selection.selectionStart());
    const QTextBlock last = doc->findBlock(selection.selectionEnd());
    QTextCursor edit(doc);
    edit.beginEditBlock();
    while (block.isValid()) {
        QTextBlockFormat f = block.blockFormat();
        fn(f);
        edit.setPosition(block.position());
        edit.setBlockFormat(f);
        if (block == last)
            break;
        block = block.next();
    }
    edit.endEditBlock();
}

} // namespace

// ---------------------------------------------------------------- TRichEdit

TRichEdit::TRichEdit(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    // Paragraphs run left to right unless told otherwise, as the platform's control has them;
    // it also spares the text engine a scan of every paragraph for its direction.
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    document()->setDefaultTextOption(option);
    setTabChangesFocus(true);
    SetHideSelection(true);
    connect(this, &QTextEdit::textChanged, this, [this] {
        if (OnChange)
            OnChange();
    });
    auto selectionMoved = [this] {
        const QTextCursor c = textCursor();
        if (c.anchor() == lastAnchor_ && c.position() == lastPosition_)
            return;
        lastAnchor_ = c.anchor();
        lastPosition_ = c.position();
        if (OnSelectionChange)
            OnSelectionChange();
    };
    connect(this, &QTextEdit::cursorPositionChanged, this, selectionMoved);
    connect(this, &QTextEdit::selectionChanged, this, selectionMoved);
}

TRichEdit::~TRichEdit() = default;

void TRichEdit::SetPlainText(bool plain)
{
    plainText_ = plain;
    setAcceptRichText(!plain);
}

bool TRichEdit::Modified() const
{
    return document()->isModified();
}

void TRichEdit::SetModified(bool modified)
{
    document()->setModified(modified);
}

bool TRichEdit::WordWrap() const
{
    return lineWrapMode() != QTextEdit::NoWrap;
}

void TRichEdit::SetWordWrap(bool wrap)
{
    setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TRichEdit::SetHideSelection(bool hide)
{
    hideSelection_ = hide;
    // Without focus the selection shows in the focused colours, or not at all.
    QPalette p = palette();
    if (hide) {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(p);
}

void TRichEdit::SetScrollBars(TScrollStyle style)
{
    scrollBars_ = style;
    const bool h = style == TScrollStyle::Horizontal || style == TScrollStyle::Both;
    const bool v = style == TScrollStyle::Vertical || style == TScrollStyle::Both;
    setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

QRect TRichEdit::ClientRect() const
{
    const QMargins m = viewportMargins();
    return QRect(0, 0, viewport()->width() + m.left() + m.right(),
                 viewport()->height() + m.top() + m.bottom());
}

void TRichEdit::SetRect(const QRect &rect)
{
    const QRect client = ClientRect();
    const int left = std::max(0, rect.left());
    const int top = std::max(0, rect.top());
    // Right and bottom edges are exclusive, as a device rectangle has them.
    const int right = std::max(0, client.width() - (rect.left() + rect.width()));
    const int bottom = std::max(0, client.height() - (rect.top() + rect.height()));
    setViewportMargins(left, top, right, bottom);
}

// ---- text

QString TRichEdit::Text() const
{
    return positionsText(document()->toRawText());
}

void TRichEdit::SetText(const QString &text)
{
    QTextCursor c(document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    insertPlain(c, text);
    c.endEditBlock();
    setTextCursor(c);
}

int TRichEdit::TextLength() const
{
    return document()->characterCount() - 1;
}

void TRichEdit::Clear()
{
    clear();
    setCurrentCharFormat(QTextCharFormat());
    document()->setModified(false);
}

bool TRichEdit::CanUndo() const
{
    return document()->isUndoAvailable();
}

void TRichEdit::insertPlain(QTextCursor &cursor, const QString &text)
{
    if (needsNormalizing(text))
        cursor.insertText(normalizeBreaks(text, plainText_));
    else
        cursor.insertText(text);
}

// ---- streams

void TRichEdit::LoadFromStream(const QByteArray &bytes)
{
    LoadFromStream(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void TRichEdit::LoadFromStream(std::string_view bytes)
{
    if (printer_)
        printer_->reset();
    if (!plainText_ && rtf::looksLikeRtf(bytes)) {
        richedit::fillDocument(*document(), rtf::readRtf(bytes));
    } else {
        codepage::DecodedText decoded = codepage::decodePlainText(bytes);
        encoding_ = decoded.encoding;
        QString text = QString::fromStdU16String(decoded.text);
        decoded.text = {};
        if (needsNormalizing(text))
            text = normalizeBreaks(text, true);
        // The break after the last line ends that line; it starts no new one.
        if (text.endsWith(QChar(u'\n')))
            text.chop(1);
        setPlainText(text);
    }
    setCurrentCharFormat(QTextCursor(document()).charFormat());
    document()->setModified(false);
    moveCursor(QTextCursor::Start);
}

QByteArray TRichEdit::SaveToStream() const
{
    if (!plainText_) {
        rtf::WriteOptions options;
        options.defaultFontName = document()->defaultFont().family().toStdU16String();
        const std::string rtfText = rtf::writeRtf(ToDocument(), options);
        return QByteArray(rtfText.data(), static_cast<qsizetype>(rtfText.size()));
    }
    const QString lines = Lines().Text();
    codepage::EncodedText encoded = codepage::encodePlainText(
        std::u16string_view(reinterpret_cast<const char16_t *>(lines.utf16()),
                            static_cast<std::size_t>(lines.size())),
        encoding_);
    encoding_ = encoded.encoding;
    return QByteArray(encoded.bytes.data(), static_cast<qsizetype>(encoded.bytes.size()));
}

bool TRichEdit::LoadFromFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    LoadFromStream(bytes);
    return true;
}

bool TRichEdit::SaveToFile(const QString &fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = SaveToStream();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// ---- selection

int TRichEdit::SelStart() const
{
    return textCursor().selectionStart();
}

void TRichEdit::SetSelStart(int position)
{
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(position, 0, TextLength()));
    setTextCursor(c);
}

int TRichEdit::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TRichEdit::SetSelLength(int length)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    const long long end = std::clamp<long long>(static_cast<long long>(start) + length, 0, TextLength());
    c.setPosition(start);
    c.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString TRichEdit::SelText() const
{
    return positionsText(textCursor().selectedText());
}

void TRichEdit::SetSelText(const QString &text)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    if (c.hasSelection())
        c.removeSelectedText();
    insertPlain(c, text);
    c.endEditBlock();
    setTextCursor(c);
}

void TRichEdit::SelectAll()
{
    selectAll();
}

void TRichEdit::ScrollCaret()
{
    ensureCursorVisible();
}

int TRichEdit::LineFromChar(int position) const
{
    if (position < 0)
        position = textCursor().selectionStart();
    return document()->findBlock(std::clamp(position, 0, TextLength())).blockNumber();
}

int TRichEdit::LineIndex(int line) const
{
    if (line < 0)
        return textCursor().block().position();
    const QTextBlock block = document()->findBlockByNumber(line);
    return block.isValid() ? block.position() : -1;
}

int TRichEdit::LineLength(int line) const
{
    const QTextBlock block = document()->findBlockByNumber(line);
    return block.isValid() ? block.length() - 1 : -1;
}

int TRichEdit::CharFromPos(const QPoint &clientPoint) const
{
    const QMargins m = viewportMargins();
    return cursorForPosition(clientPoint - QPoint(m.left(), m.top())).position();
}

// ---- find

int TRichEdit::FindText(const QString &text, int start, int length, TSearchTypes options) const
{
    if (text.isEmpty() || length <= 0)
        return -1;
    const int total = TextLength();
    start = std::clamp(start, 0, total);
    const long long end = std::min<long long>(static_cast<long long>(start) + length, total);
    QTextDocument::FindFlags flags;
    if (options & stWholeWord)
        flags |= QTextDocument::FindWholeWords;
    if (options & stMatchCase)
        flags |= QTextDocument::FindCaseSensitively;
    QTextCursor from(document());
    from.setPosition(start);
    const QTextCursor hit = document()->find(text, from, flags);
    if (hit.isNull() || hit.selectionEnd() > end)
        return -1;
    return hit.selectionStart();
}

// ---- model

rtf::Document TRichEdit::ToDocument(int start, int end) const
{
    return richedit::toModel(*document(), start, end);
}

void TRichEdit::FromDocument(const rtf::Document &model)
{
    if (printer_)
        printer_->reset();
    richedit::fillDocument(*document(), model);
    setCurrentCharFormat(QTextCursor(document()).charFormat());
}

// ---- range formatting

int TRichEdit::FormatRange(const TFormatRange *range, bool render)
{
    if (!range) {
        if (printer_)
            printer_->reset();
        return 0;
    }
    if (!printer_)
        printer_ = std::make_unique<Printer>(document());
    return printer_->format(*range, render);
}

// ---- events

void TRichEdit::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers();
    if (OnKeyDown) {
        OnKeyDown(key, shift);
        if (key == 0) {
            event->accept();
            return;
        }
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && OnKeyPress) {
        QChar ch = typed.front();
        const QChar original = ch;
        OnKeyPress(ch);
        if (ch.isNull()) {
            event->accept();
            return;
        }
        if (ch != original) {
            if (!isReadOnly())
                SetSelText(QString(ch));
            event->accept();
            return;
        }
    }
    if (key == Qt::Key_Insert && (shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
        setOverwriteMode(!overwriteMode());
        event->accept();
        return;
    }
    if (plainText_ && (key == Qt::Key_Return || key == Qt::Key_Enter) && (shift & Qt::ShiftModifier)) {
        // A plain page has no line breaks inside paragraphs.
        QKeyEvent plainReturn(event->type(), key, shift & ~Qt::ShiftModifier, event->text(),
                              event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QTextEdit::keyPressEvent(&plainReturn);
        event->setAccepted(plainReturn.isAccepted());
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TRichEdit::keyReleaseEvent(QKeyEvent *event)
{
    int key = event->key();
    if (OnKeyUp) {
        OnKeyUp(key, event->modifiers());
        if (key == 0) {
            event->accept();
            return;
        }
    }
    QTextEdit::keyReleaseEvent(event);
}

void TRichEdit::mousePressEvent(QMouseEvent *event)
{
    if (OnMouseDown) {
        const QMargins m = viewportMargins();
        OnMouseDown(event->button(), event->modifiers(),
                    event->position().toPoint() + QPoint(m.left(), m.top()));
    }
    QTextEdit::mousePressEvent(event);
}

void TRichEdit::contextMenuEvent(QContextMenuEvent *event)
{
    if (popupMenu_) {
        popupMenu_->popup(event->globalPos());
        event->accept();
        return;
    }
    QTextEdit::contextMenuEvent(event);
}

// ---- clipboard

QMimeData *TRichEdit::createMimeDataFromSelection() const
{
    auto *mime = new QMimeData;
    const QTextCursor c = textCursor();
    QString text = c.selectedText();
    for (QChar &ch : text)
        if (ch.unicode() == 0x2029 || ch.unicode() == 0x2028)
            ch = QChar(u'\n');
    mime->setText(text);
    if (!plainText_) {
        rtf::WriteOptions options;
        options.defaultFontName = document()->defaultFont().family().toStdU16String();
        const std::string rtfText =
            rtf::writeRtf(ToDocument(c.selectionStart(), c.selectionEnd()), options);
        mime->setData(kRtfMime, QByteArray(rtfText.data(), static_cast<qsizetype>(rtfText.size())));
    }
    return mime;
}

bool TRichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasText() ||
           (!plainText_ && (source->hasFormat(kRtfMime) || source->hasFormat(kRtfMimeAlt)));
}

void TRichEdit::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly())
        return;
    QTextCursor c = textCursor();
    if (!plainText_ && (source->hasFormat(kRtfMime) || source->hasFormat(kRtfMimeAlt))) {
        const QByteArray bytes = source->data(source->hasFormat(kRtfMime) ? kRtfMime : kRtfMimeAlt);
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        richedit::fillDocument(
            pasted, rtf::readRtf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
        c.insertFragment(QTextDocumentFragment(&pasted));
    } else if (source->hasText()) {
        c.beginEditBlock();
        if (c.hasSelection())
            c.removeSelectedText();
        insertPlain(c, source->text());
        c.endEditBlock();
    } else {
        return;
    }
    setTextCursor(c);
    ensureCursorVisible();
}

// ---------------------------------------------------------------- attributes

namespace {

QTextCharFormat selectionFormat(const TRichEdit *edit)
{
    const QTextCursor c = edit->textCursor();
    if (!c.hasSelection())
        return edit->currentCharFormat();
    QTextCursor first(edit->document());
    first.setPosition(c.selectionStart() + 1);
    return first.charFormat();
}

} // namespace

QString TTextAttributes::Name() const
{
    if (defaults_)
        return owner_->document()->defaultFont().family();
    return richedit::fontFamilyOf(selectionFormat(owner_), owner_->document()->defaultFont());
}

void TTextAttributes::SetName(const QString &name)
{
    if (defaults_) {
        QFont f = owner_->font();
        f.setFamilies({name});
        owner_->setFont(f);
        return;
    }
    QTextCharFormat f;
    f.setFontFamilies({name});
    owner_->mergeCurrentCharFormat(f);
}

int TTextAttributes::Size() const
{
    const QFont defaultFont = owner_->document()->defaultFont();
    if (!defaults_) {
        const QTextCharFormat f = selectionFormat(owner_);
        if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0)
            return static_cast<int>(f.fontPointSize());
    }
    return defaultFont.pointSizeF() > 0 ? static_cast<int>(defaultFont.pointSizeF()) : 12;
}

void TTextAttributes::SetSize(int points)
{
    if (points <= 0)
        return;
    if (defaults_) {
        QFont f = owner_->font();
        f.setPointSize(points);
        owner_->setFont(f);
        return;
    }
    QTextCharFormat f;
    f.setFontPointSize(points);
    owner_->mergeCurrentCharFormat(f);
}

QColor TTextAttributes::Color() const
{
    if (defaults_)
        return owner_->defaultColor_;
    const QTextCharFormat f = selectionFormat(owner_);
    if (!f.hasProperty(QTextFormat::ForegroundBrush) || f.foreground().style() == Qt::NoBrush)
        return QColor();
    return f.foreground().color();
}

void TTextAttributes::SetColor(const QColor &color)
{
    if (defaults_) {
        owner_->defaultColor_ = color;
        QPalette p = owner_->palette();
        const QColor text = color.isValid() ? color : QPalette().color(QPalette::Text);
        p.setColor(QPalette::Active, QPalette::Text, text);
        p.setColor(QPalette::Inactive, QPalette::Text, text);
        owner_->setPalette(p);
        return;
    }
    if (color.isValid()) {
        QTextCharFormat f;
        f.setForeground(color);
        owner_->mergeCurrentCharFormat(f);
        return;
    }
    // Back to the window text colour: the property goes, fragment by fragment.
    QTextCursor c = owner_->textCursor();
    if (!c.hasSelection()) {
        QTextCharFormat f = owner_->currentCharFormat();
        f.clearForeground();
        owner_->setCurrentCharFormat(f);
        return;
    }
    const int start = c.selectionStart();
    const int end = c.selectionEnd();
    QTextCursor edit(owner_->document());
    edit.beginEditBlock();
    for (QTextBlock b = owner_->document()->findBlock(start); b.isValid() && b.position() < end; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fr = it.fragment();
            const int fs = std::max(fr.position(), start);
            const int fe = std::min(fr.position() + fr.length(), end);
            if (fs >= fe)
                continue;
            QTextCharFormat f = fr.charFormat();
            f.clearForeground();
            edit.setPosition(fs);
            edit.setPosition(fe, QTextCursor::KeepAnchor);
            edit.setCharFormat(f);
        }
    }
    edit.endEditBlock();
}

TFontStyles TTextAttributes::Style() const
{
    QFont f;
    if (defaults_) {
        f = owner_->document()->defaultFont();
    } else {
        const QTextCharFormat cf = selectionFormat(owner_);
        const QFont d = owner_->document()->defaultFont();
        f = d;
        if (cf.hasProperty(QTextFormat::FontWeight))
            f.setWeight(static_cast<QFont::Weight>(cf.fontWeight()));
        if (cf.hasProperty(QTextFormat::FontItalic))
            f.setItalic(cf.fontItalic());
        if (cf.hasProperty(QTextFormat::FontUnderline) || cf.hasProperty(QTextFormat::TextUnderlineStyle))
            f.setUnderline(cf.fontUnderline());
        if (cf.hasProperty(QTextFormat::FontStrikeOut))
            f.setStrikeOut(cf.fontStrikeOut());
    }
    TFontStyles s;
    if (f.weight() >= QFont::DemiBold)
        s |= fsBold;
    if (f.italic())
        s |= fsItalic;
    if (f.underline())
        s |= fsUnderline;
    if (f.strikeOut())
        s |= fsStrikeOut;
    return s;
}

void TTextAttributes::SetStyle(TFontStyles style)
{
    if (defaults_) {
        QFont f = owner_->font();
        f.setBold(style & fsBold);
        f.setItalic(style & fsItalic);
        f.setUnderline(style & fsUnderline);
        f.setStrikeOut(style & fsStrikeOut);
        owner_->setFont(f);
        return;
    }
    QTextCharFormat f;
    f.setFontWeight(style & fsBold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(style & fsItalic);
    f.setFontUnderline(style & fsUnderline);
    f.setFontStrikeOut(style & fsStrikeOut);
    owner_->mergeCurrentCharFormat(f);
}

// ---- paragraph

namespace {

QTextBlockFormat firstSelectedBlockFormat(const TRichEdit *edit)
{
    return edit->document()->findBlock(edit->textCursor().selectionStart()).blockFormat();
}

} // namespace

TAlignment TParaAttributes::Alignment() const
{
    switch (richedit::alignmentOf(firstSelectedBlockFormat(owner_).alignment())) {
    case rtf::Alignment::Left: return TAlignment::LeftJustify;
    case rtf::Alignment::Right: return TAlignment::RightJustify;
    case rtf::Alignment::Center: return TAlignment::Center;
    case rtf::Alignment::Justify: return TAlignment::Justify;
    }
    return TAlignment::LeftJustify;
}

void TParaAttributes::SetAlignment(TAlignment alignment)
{
    rtf::Alignment a = rtf::Alignment::Left;
    switch (alignment) {
    case TAlignment::LeftJustify: a = rtf::Alignment::Left; break;
    case TAlignment::RightJustify: a = rtf::Alignment::Right; break;
    case TAlignment::Center: a = rtf::Alignment::Center; break;
    case TAlignment::Justify: a = rtf::Alignment::Justify; break;
    }
    QTextBlockFormat f;
    f.setAlignment(richedit::toQt(a));
    QTextCursor c = owner_->textCursor();
    c.mergeBlockFormat(f);
}

int TParaAttributes::FirstIndent() const
{
    const QTextBlockFormat f = firstSelectedBlockFormat(owner_);
    return toPoints(f.leftMargin() + f.textIndent());
}

int TParaAttributes::LeftIndent() const
{
    return toPoints(-firstSelectedBlockFormat(owner_).textIndent());
}

int TParaAttributes::RightIndent() const
{
    return toPoints(firstSelectedBlockFormat(owner_).rightMargin());
}

void TParaAttributes::SetFirstIndent(int points)
{
    // The other lines keep their place relative to the first one.
    forEachSelectedBlock(owner_->textCursor(), [points](QTextBlockFormat &f) {
        const qreal left = -f.textIndent();
        f.setLeftMargin(points * kPixelsPerPoint + left);
        f.setTextIndent(-left);
    });
}

void TParaAttributes::SetLeftIndent(int points)
{
    forEachSelectedBlock(owner_->textCursor(), [points](QTextBlockFormat &f) {
        const qreal first = f.leftMargin() + f.textIndent();
        f.setLeftMargin(first + points * kPixelsPerPoint);
        f.setTextIndent(-points * kPixelsPerPoint);
    });
}

void TParaAttributes::SetRightIndent(int points)
{
    forEachSelectedBlock(owner_->textCursor(),
                         [points](QTextBlockFormat &f) { f.setRightMargin(points * kPixelsPerPoint); });
}

TNumberingStyle TParaAttributes::Numbering() const
{
    return owner_->document()->findBlock(owner_->textCursor().selectionStart()).textList()
               ? TNumberingStyle::Bullet
               : TNumberingStyle::None;
}

void TParaAttributes::SetNumbering(TNumberingStyle numbering)
{
    QTextCursor c = owner_->textCursor();
    QTextDocument *doc = owner_->document();
    c.beginEditBlock();
    if (numbering == TNumberingStyle::Bullet) {
        if (!doc->findBlock(c.selectionStart()).textList() || !doc->findBlock(c.selectionEnd()).textList()) {
            QTextListFormat lf;
            lf.setStyle(QTextListFormat::ListDisc);
            lf.setIndent(1);
            c.createList(lf);
        }
    } else {
        QTextBlock block = doc->findBlock(c.selectionStart());
        const QTextBlock last = doc->findBlock(c.selectionEnd());
        while (block.isValid()) {
            if (QTextList *list = block.textList()) {
                list->remove(block);
                QTextCursor bc(block);
                QTextBlockFormat f = block.blockFormat();
                f.setIndent(0);
                bc.setBlockFormat(f);
            }
            if (block == last)
                break;
            block = block.next();
        }
    }
    c.endEditBlock();
}

// ---------------------------------------------------------------- lines

int TRichEditLines::Count() const
{
    return owner_->TextLength() == 0 ? 0 : owner_->document()->blockCount();
}

QString TRichEditLines::Strings(int index) const
{
    const QTextBlock block = owner_->document()->findBlockByNumber(index);
    if (!block.isValid() || owner_->TextLength() == 0)
        return {};
    return positionsText(block.text());
}

void TRichEditLines::Add(const QString &line)
{
    QTextCursor c(owner_->document());
    c.movePosition(QTextCursor::End);
    c.beginEditBlock();
    if (owner_->TextLength() > 0)
        c.insertBlock();
    owner_->insertPlain(c, line);
    c.endEditBlock();
}

void TRichEditLines::Insert(int index, const QString &line)
{
    if (index >= Count()) {
        Add(line);
        return;
    }
    const QTextBlock block = owner_->document()->findBlockByNumber(std::max(index, 0));
    QTextCursor c(block);
    c.beginEditBlock();
    owner_->insertPlain(c, line);
    c.insertBlock();
    c.endEditBlock();
}

void TRichEditLines::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    QTextDocument *doc = owner_->document();
    const QTextBlock block = doc->findBlockByNumber(index);
    QTextCursor c(doc);
    if (block.next().isValid()) {
        c.setPosition(block.position());
        c.setPosition(block.next().position(), QTextCursor::KeepAnchor);
    } else if (block.previous().isValid()) {
        // The last line goes with the break before it.
        c.setPosition(block.position() - 1);
        c.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(0);
        c.setPosition(block.length() - 1, QTextCursor::KeepAnchor);
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
    QString out;
    out.reserve(raw.size() + owner_->document()->blockCount() + 2);
    for (QChar c : raw) {
        if (c.unicode() == 0x2029 || c.unicode() == 0x2028)
            out += QStringLiteral("\r\n");
        else
            out += c;
    }
    out += QStringLiteral("\r\n");
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

bool TRichEditLines::SaveToFile(const QString &fileName) const
{
    return owner_->SaveToFile(fileName);
}
