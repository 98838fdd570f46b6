#include "richedit/TRichEditAttributes.h"

#include "richedit/TRichEdit.h"
#include "richedit/TRichEditConvert.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>

#include <cmath>

namespace kelpa::richedit {

namespace {

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
        s |= TFontStyle::Bold;
    if (f.italic())
        s |= TFontStyle::Italic;
    if (f.underline())
        s |= TFontStyle::Underline;
    if (f.strikeOut())
        s |= TFontStyle::StrikeOut;
    return s;
}

void TTextAttributes::SetStyle(TFontStyles style)
{
    if (defaults_) {
        QFont f = owner_->font();
        f.setBold(style & TFontStyle::Bold);
        f.setItalic(style & TFontStyle::Italic);
        f.setUnderline(style & TFontStyle::Underline);
        f.setStrikeOut(style & TFontStyle::StrikeOut);
        owner_->setFont(f);
        return;
    }
    QTextCharFormat f;
    f.setFontWeight(style & TFontStyle::Bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(style & TFontStyle::Italic);
    f.setFontUnderline(style & TFontStyle::Underline);
    f.setFontStrikeOut(style & TFontStyle::StrikeOut);
    owner_->mergeCurrentCharFormat(f);
}

void TTextAttributes::ChangeStyle(TFontStyle style, bool on)
{
    if (defaults_) {
        TFontStyles styles = Style();
        SetStyle(on ? styles | style : styles & ~TFontStyles(style));
        return;
    }
    QTextCharFormat f;
    switch (style) {
    case TFontStyle::Bold: f.setFontWeight(on ? QFont::Bold : QFont::Normal); break;
    case TFontStyle::Italic: f.setFontItalic(on); break;
    case TFontStyle::Underline: f.setFontUnderline(on); break;
    case TFontStyle::StrikeOut: f.setFontStrikeOut(on); break;
    }
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

} // namespace kelpa::richedit
