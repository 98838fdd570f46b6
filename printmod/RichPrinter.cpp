// The rich-text printer's page layout: geometry, header and footer lines, documents and
// the runs that print a TRichEdit or lay it out into the preview.
#include "printmod/RichPrinter.h"

#include "richedit/TRichEdit.h"
#include "support/MessageBoxes.h"
#include "support/SteppedRun.h"

#include <QDate>
#include <QDialog>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QTime>

#include <cmath>

namespace kelpa::printmod {

using richedit::TFormatRange;
using richedit::TRichEdit;

namespace {

constexpr double kMmPerInch = 25.4;

PreviewFactory &previewFactory()
{
    static PreviewFactory factory;
    return factory;
}

// Nearest integer, halves to even.
int roundEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

QColor paintColor(std::int32_t color)
{
    if (static_cast<std::uint32_t>(color) & 0x80000000u)
        return Qt::black; // system colours: the window text colour of a printed page
    const auto c = static_cast<std::uint32_t>(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace

// --- Text helpers

QString ReplaceSubString(const QString &find, const QString &replace, const QString &text)
{
    if (find.isEmpty() || replace.contains(find))
        return text;
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(find, from);
        if (at < 0)
            break;
        result += QStringView(text).mid(from, at - from);
        result += replace;
        from = at + find.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

QStringList TokenizeString(const QString &text)
{
    return text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
}

QString StripBackToWhiteSpace(const QString &text)
{
    for (qsizetype i = text.size() - 1; i >= 0; --i)
        if (text[i].unicode() < 33)
            return text.left(i + 1);
    return text;
}

void ParseFormatToken(QString &token, TAlignmentToken &alignment, double &width, double defaultWidth)
{
    if (token.isEmpty())
        token = QStringLiteral("<") + QString::number(defaultWidth);
    else if (token.size() == 1 && QStringLiteral("<>^").contains(token[0]))
        token += QString::number(defaultWidth);
    alignment = TAlignmentToken::Left;
    const QChar first = token[0];
    if (first == u'<' || first == u'>' || first == u'^') {
        alignment = first == u'>' ? TAlignmentToken::Right
                    : first == u'^' ? TAlignmentToken::Centre
                                    : TAlignmentToken::Left;
        token.remove(0, 1);
    }
    bool ok = false;
    const double value = token.trimmed().toDouble(&ok);
    width = ok && std::isfinite(value) ? value : defaultWidth;
}

// --- Construction

TRichPrinter::TRichPrinter(std::unique_ptr<PrinterPort> port) : port_(std::move(port))
{
    constructing_ = true;
    font_ = QFont(QStringLiteral("Courier New"));
    font_.setPointSize(10);
    font_.setStyleHint(QFont::TypeWriter);
    port_->setOrientation(QPageLayout::Portrait);
    port_->setTitle(QString());
    constructing_ = false;
}

TRichPrinter::~TRichPrinter()
{
    // A run still going ends here; its window goes with the pages laid out so far.
    if (steps_)
        steps_->stop();
    if (PreviewPages *pages = preview_ ? runPages_ : nullptr) {
        preview_ = runPages_ = nullptr;
        previewCanvas_ = nullptr;
        pages->abandon();
    }
    if (cursorSet_)
        QGuiApplication::restoreOverrideCursor();
}

void TRichPrinter::SetPreviewFactory(PreviewFactory factory)
{
    previewFactory() = std::move(factory);
}

bool TRichPrinter::HasPreview()
{
    return static_cast<bool>(previewFactory());
}

// --- Geometry

DeviceMetrics TRichPrinter::metricsOrFallback(bool *available) const
{
    *available = port_->available();
    if (!*available)
        return {};
    DeviceMetrics m = port_->metrics();
    if (m.dpiX <= 0 || m.dpiY <= 0)
        *available = false;
    return m;
}

TRichPrinter::Dpi TRichPrinter::dpi() const
{
    bool ok = false;
    const DeviceMetrics m = metricsOrFallback(&ok);
    // Without a printer the pages are laid out as for a common laser printer.
    return ok ? Dpi{m.dpiX, m.dpiY} : Dpi{600, 600};
}

int TRichPrinter::MeasureUnitsToPixelsH(double value) const
{
    const double inches = measureUnit_ == TMeasureUnit::muMillimeters ? value / kMmPerInch : value;
    return roundEven(inches * dpi().x);
}

int TRichPrinter::MeasureUnitsToPixelsV(double value) const
{
    const double inches = measureUnit_ == TMeasureUnit::muMillimeters ? value / kMmPerInch : value;
    return roundEven(inches * dpi().y);
}

double TRichPrinter::PixelsToMeasureUnitsH(int pixels) const
{
    const double inches = double(pixels) / dpi().x;
    return measureUnit_ == TMeasureUnit::muMillimeters ? inches * kMmPerInch : inches;
}

double TRichPrinter::PixelsToMeasureUnitsV(int pixels) const
{
    const double inches = double(pixels) / dpi().y;
    return measureUnit_ == TMeasureUnit::muMillimeters ? inches * kMmPerInch : inches;
}

double TRichPrinter::deviceLength(int DeviceMetrics::*field, bool across, double mm, double inches) const
{
    bool ok = false;
    const DeviceMetrics m = metricsOrFallback(&ok);
    if (!ok)
        return measureUnit_ == TMeasureUnit::muMillimeters ? mm : inches;
    return across ? PixelsToMeasureUnitsH(m.*field) : PixelsToMeasureUnitsV(m.*field);
}

double TRichPrinter::GetPhysicalPageWidth() const
{
    return deviceLength(&DeviceMetrics::physicalWidth, true, 210, 8.5);
}

double TRichPrinter::GetPhysicalPageHeight() const
{
    return deviceLength(&DeviceMetrics::physicalHeight, false, 297, 11);
}

double TRichPrinter::GetAvailablePageWidth() const
{
    return deviceLength(&DeviceMetrics::pageWidth, true, 198, 8);
}

double TRichPrinter::GetAvailablePageHeight() const
{
    return deviceLength(&DeviceMetrics::pageHeight, false, 284, 10.5);
}

double TRichPrinter::GutterLeft() const
{
    return deviceLength(&DeviceMetrics::offsetX, true, 6, 0.25);
}

double TRichPrinter::GutterTop() const
{
    return deviceLength(&DeviceMetrics::offsetY, false, 6, 0.25);
}

double TRichPrinter::GutterRight() const
{
    return GetPhysicalPageWidth() - GetAvailablePageWidth() - GutterLeft();
}

double TRichPrinter::GutterBottom() const
{
    return GetPhysicalPageHeight() - GetAvailablePageHeight() - GutterTop();
}

int TRichPrinter::StartingLeft() const
{
    return MeasureUnitsToPixelsH(marginLeft_ - GutterLeft());
}

int TRichPrinter::StartingRight() const
{
    return MeasureUnitsToPixelsH(marginRight_ - GutterRight());
}

int TRichPrinter::StartingTop() const
{
    return MeasureUnitsToPixelsV(marginTop_ - GutterTop());
}

int TRichPrinter::StartingBottom() const
{
    return std::max(MeasureUnitsToPixelsV(marginBottom_ - GutterBottom()), lineHeight_);
}

int TRichPrinter::PixelPrintWidth() const
{
    return MeasureUnitsToPixelsH(GetAvailablePageWidth()) - StartingLeft() - StartingRight();
}

int TRichPrinter::PixelPrintHeight() const
{
    return MeasureUnitsToPixelsV(GetAvailablePageHeight()) - StartingTop() - StartingBottom();
}

// --- Canvas and font

QPainter *TRichPrinter::canvas() const
{
    if (previewMode_)
        return previewCanvas_;
    if (scratchPainter_ && !pageGoesOut(pageNumber_))
        return scratchPainter_.get();
    return port_->painter();
}

bool TRichPrinter::pageGoesOut(int page) const
{
    return printedPages_.isEmpty() || printedPages_.contains(page);
}

QFont TRichPrinter::deviceFont() const
{
    // In pixels of the printer, so that a page device of another resolution (a recorder of
    // the preview) gets the same page.
    QFont f = font_;
    qreal points = f.pointSizeF();
    if (points <= 0)
        points = f.pixelSize() > 0 ? f.pixelSize() * 72.0 / 96.0 : 10;
    f.setPixelSize(std::max(1, roundEven(points * dpi().y / 72.0)));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void TRichPrinter::SetFont(const QFont &font, std::int32_t color)
{
    font_ = font;
    fontColor_ = color == 0xFFFFFF ? 0 : color;
    setLineSpacing();
}

void TRichPrinter::applyFont()
{
    if (QPainter *p = canvas()) {
        p->setFont(deviceFont());
        p->setPen(paintColor(fontColor_));
    }
    setLineSpacing();
}

void TRichPrinter::setLineSpacing()
{
    if (QPainter *p = canvas(); p && (port_->printing() || previewMode_)) {
        p->setFont(deviceFont());
        const QFontMetrics fm = p->fontMetrics();
        lineHeight_ = fm.height() + std::max(0, fm.leading());
        ascent_ = fm.ascent();
        return;
    }
    if (QPrinter *printer = port_->printer(); printer && port_->available()) {
        const QFontMetrics fm(font_, printer);
        lineHeight_ = ascent_ = fm.boundingRect(QStringLiteral("M")).height();
        return;
    }
    lineHeight_ = ascent_ = 10;
}

int TRichPrinter::textWidth(const QString &text) const
{
    QPainter *p = canvas();
    if (!p)
        return 0;
    return p->fontMetrics().horizontalAdvance(text);
}

void TRichPrinter::drawText(int x, int y, const QString &text)
{
    if (QPainter *p = canvas())
        p->drawText(QPoint(x, y + p->fontMetrics().ascent()), text);
}

// --- Header and footer

QString TRichPrinter::ExpandLogicalFields(const QString &text) const
{
    QString s = ReplaceSubString(QStringLiteral("{$LINE}"), QString::number(lineCount_), text);
    s = ReplaceSubString(QStringLiteral("{$PAGE}"), QString::number(pageNumber_), s);
    s = ReplaceSubString(QStringLiteral("{$DATE}"), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat), s);
    s = ReplaceSubString(QStringLiteral("{$TIME}"), QLocale().toString(QTime::currentTime(), QLocale::LongFormat), s);
    s = ReplaceSubString(QStringLiteral("{$TITLE}"), Title(), s);
    return s;
}

QString TRichPrinter::GetClippedLine(const QString &text, int maxWidth) const
{
    if (!canvas() || textWidth(text) <= maxWidth)
        return text;
    qsizetype low = 1;
    qsizetype high = text.size();
    qsizetype middle = 0;
    qsizetype last = -1;
    for (;;) {
        middle = (low + high) / 2;
        if (middle == last)
            break;
        last = middle;
        const int w = textWidth(text.left(middle));
        if (w > maxWidth)
            high = middle;
        else if (w < maxWidth)
            low = middle;
        else
            break;
        if (high <= low)
            break;
    }
    return text.left(std::max<qsizetype>(1, middle));
}

void TRichPrinter::WriteTableLine(const QString &text)
{
    const QStringList formats = TokenizeString(columnFormat_);
    const QStringList pieces = TokenizeString(text);
    cursorX_ = StartingLeft();
    const int inset = (dpi().x / 600) * 6;
    for (qsizetype i = 0; i < formats.size(); ++i) {
        QString token = formats[i];
        TAlignmentToken alignment;
        double width = 0;
        ParseFormatToken(token, alignment, width, defaultColumnWidth_);
        const int columnWidth = MeasureUnitsToPixelsH(width);
        QString column = i < pieces.size() ? pieces[i] : QString();
        if (column.contains(QStringLiteral("{$")))
            column = ExpandLogicalFields(column);
        column = GetClippedLine(column, columnWidth);
        const int w = textWidth(column);
        int offset = 0;
        if (alignment == TAlignmentToken::Right)
            offset = columnWidth - w;
        else if (alignment == TAlignmentToken::Centre)
            offset = static_cast<int>(std::floor((columnWidth - w) / 2.0));
        if (w < columnWidth - inset) {
            if (alignment == TAlignmentToken::Right)
                offset -= inset;
            else if (alignment == TAlignmentToken::Left)
                offset += inset;
        }
        drawText(cursorX_ + offset, StartingTop() + cursorY_, column);
        cursorX_ += columnWidth;
    }
    if (cursorY_ >= 0 && cursorY_ < PixelPrintHeight())
        NewLine();
}

void TRichPrinter::doNewPageProcessing()
{
    updateProgressDlg(QStringLiteral("Currently Printing"));
    const QString savedFormat = columnFormat_;
    struct Restore {
        QString &target;
        QString value;
        ~Restore() { target = value; }
    } restore{columnFormat_, savedFormat};

    const int top = StartingTop();
    if (!header_.isEmpty()) {
        applyFont();
        cursorY_ = roundEven((top - lineHeight_) / 2.0) - top;
        columnFormat_ = headerFormat_;
        WriteTableLine(header_);
        if (!logo_.isNull()) {
            const double pw = GetPhysicalPageWidth();
            const double ph = GetPhysicalPageHeight();
            const int baseTop = static_cast<int>(std::floor((top - lineHeight_) / 2.0)) + lineHeight_;
            const int baseLeft = StartingLeft();
            const int t = baseTop + roundEven(logoTop_ / ph * PixelPrintHeight());
            const int l = baseLeft + roundEven(logoLeft_ / pw * PixelPrintWidth());
            const int r = l + roundEven(logoWidth_ / pw * PixelPrintWidth());
            const int b = t + roundEven(logoHeight_ / ph * PixelPrintHeight());
            if (QPainter *p = canvas()) {
                const QRect rect(QPoint(l, t), QPoint(r - 1, b - 1));
                p->save();
                p->setPen(QPen(Qt::black, 0, Qt::DotLine));
                p->drawRect(rect);
                p->drawImage(rect, logo_);
                p->restore();
            }
        }
    }
    if (!footer_.isEmpty()) {
        applyFont();
        cursorY_ = static_cast<int>(std::floor((StartingBottom() - lineHeight_) / 2.0)) + PixelPrintHeight();
        columnFormat_ = footerFormat_;
        WriteTableLine(footer_);
    }
    cursorX_ = cursorY_ = lineCount_ = 0;
    if (OnNewPage)
        OnNewPage();

    QPainter *p = canvas();
    if (!p || borders_ == 0)
        return;
    const Dpi resolution = dpi();
    const int left = StartingLeft();
    const int width = PixelPrintWidth();
    const int height = PixelPrintHeight();
    p->save();
    const int bv = MeasureUnitsToPixelsV(borderOffset_);
    p->setPen(QPen(Qt::black, (resolution.y / 600) * 2));
    if (borders_ & pbTop)
        p->drawLine(left - bv, top - bv, left + width + bv, top - bv);
    if (borders_ & pbBottom)
        p->drawLine(left - bv, top + height + 2 * bv, left + width + bv, top + height + 2 * bv);
    const int bh = MeasureUnitsToPixelsH(borderOffset_);
    p->setPen(QPen(Qt::black, (resolution.x / 600) * 2));
    if (borders_ & pbLeft)
        p->drawLine(left - bh, top - bh, left - bh, top + height + 2 * bh);
    if (borders_ & pbRight)
        p->drawLine(left + width + bh, top - bh, left + width + bh, top + height + 2 * bh);
    p->restore();
}

// --- Documents

void TRichPrinter::BeginDoc()
{
    if (saveMargins_)
        ReadIniFile();
    if (OnBeginDoc)
        OnBeginDoc();
    if (!previewMode_ && !port_->beginDoc()) {
        const QString error = port_->errorText();
        throw ELinePrinter(error.isEmpty() ? QStringLiteral("Not be able to start the printing.") : error);
    }
    if (!previewMode_ && !printedPages_.isEmpty()) {
        // Same resolution as the printer, so that measuring gives the same lines.
        const Dpi resolution = dpi();
        scratch_ = QImage(1, 1, QImage::Format_RGB32);
        scratch_.setDotsPerMeterX(qRound(resolution.x / 0.0254));
        scratch_.setDotsPerMeterY(qRound(resolution.y / 0.0254));
        scratchPainter_ = std::make_unique<QPainter>(&scratch_);
    }
    devicePageUsed_ = pageGoesOut(static_cast<int>(startPage_));
    try {
        applyFont();
        updateProgressDlg(previewMode_ ? QStringLiteral("Preparing to Print Preview") : QStringLiteral("Preparing to Print"));
        lineCount_ = 0;
        pageNumber_ = static_cast<int>(startPage_);
        doNewPageProcessing();
    } catch (...) {
        // A document that could not get its first page is not left open.
        if (!previewMode_)
            port_->abortDoc();
        scratchPainter_.reset();
        closeProgress();
        throw;
    }
}

int TRichPrinter::NewPage()
{
    // A page that is not printed takes no sheet: the next printed one goes on the sheet that is
    // still empty.
    const bool goesOut = pageGoesOut(pageNumber_ + 1);
    if (!previewMode_ && goesOut && devicePageUsed_ && !port_->newPage())
        throw ELinePrinter(QStringLiteral("Not be able to print a new page."));
    devicePageUsed_ = devicePageUsed_ || goesOut;
    ++pageNumber_;
    if (previewMode_)
        fillingOnePage(false);
    doNewPageProcessing();
    return pageNumber_;
}

void TRichPrinter::fillingOnePage(bool last)
{
    if (!preview_)
        return;
    previewCanvas_ = nullptr;
    preview_->finishPage(last);
    if (last)
        return;
    previewCanvas_ = preview_->beginPage();
    if (!previewCanvas_)
        throw ELinePrinter(QStringLiteral("The preview cannot take another page."));
    previewCanvas_->setFont(deviceFont());
}

int TRichPrinter::NewLine()
{
    cursorX_ = 0;
    cursorY_ += lineHeight_;
    ++lineCount_;
    if (cursorY_ + lineHeight_ >= PixelPrintHeight())
        NewPage();
    return lineCount_;
}

void TRichPrinter::EndDoc()
{
    updateProgressDlg(previewMode_ ? QStringLiteral("Finished Preparing Preview") : QStringLiteral("Finished Printing"));
    const bool toFile = port_->printer() && port_->printer()->outputFormat() == QPrinter::PdfFormat;
    scratchPainter_.reset();
    const bool ended = previewMode_ || port_->endDoc();
    if (previewMode_) {
        fillingOnePage(true);
        previewMode_ = false;
    }
    closeProgress();
    if (OnEndDoc)
        OnEndDoc();
    if (!ended)
        throw ELinePrinter(toFile ? QStringLiteral("Not be able to print to a file.") : QStringLiteral("Not be able to end the printing."));
}

void TRichPrinter::AbortDoc()
{
    updateProgressDlg(QStringLiteral("Aborting Printing"));
    if (previewMode_)
        previewAborted_ = true; // a preview run stops at its next page
    const bool toFile = port_->printer() && port_->printer()->outputFormat() == QPrinter::PdfFormat;
    scratchPainter_.reset();
    const bool done = previewMode_ || port_->abortDoc();
    closeProgress();
    if (OnAbortDoc)
        OnAbortDoc();
    if (!done)
        throw ELinePrinter(toFile ? QStringLiteral("Not be able to end the printing to a file.")
                                  : QStringLiteral("Not be able to end the printing."));
}

void TRichPrinter::WriteLine(const QString &text)
{
    if (textWidth(text) > PixelPrintWidth()) {
        SplitLineAndPrint(text);
        return;
    }
    cursorX_ = 0;
    if (cursorY_ + lineHeight_ >= PixelPrintHeight())
        NewPage();
    drawText(StartingLeft() + cursorX_, StartingTop() + cursorY_, text);
    NewLine();
}

void TRichPrinter::SplitLineAndPrint(const QString &text)
{
    QString rest = text;
    while (!rest.isEmpty()) {
        QString piece = GetClippedLine(rest, PixelPrintWidth());
        qsizetype consumed = piece.size();
        if (piece.size() < rest.size()) {
            if (rest[piece.size()].unicode() < 33)
                consumed = piece.size() + 1;
            else {
                piece = StripBackToWhiteSpace(piece);
                consumed = piece.size();
            }
        }
        // A piece that measures wider than the page still goes, whole, so the loop ends.
        if (textWidth(piece) > PixelPrintWidth()) {
            cursorX_ = 0;
            if (cursorY_ + lineHeight_ >= PixelPrintHeight())
                NewPage();
            drawText(StartingLeft(), StartingTop() + cursorY_, piece);
            NewLine();
        } else {
            WriteLine(piece);
        }
        rest.remove(0, consumed);
    }
}

void TRichPrinter::fillRange(TFormatRange &range) const
{
    const auto [dpiX, dpiY] = dpi();
    range.painter = canvas();
    range.dpiX = dpiX;
    range.dpiY = dpiY;
    const int left = StartingLeft();
    const int top = StartingTop();
    range.rc.left = static_cast<int>(static_cast<long long>(left) * 1440 / dpiX);
    range.rc.top = static_cast<int>(static_cast<long long>(top) * 1440 / dpiY);
    range.rc.right = static_cast<int>(static_cast<long long>(left + PixelPrintWidth()) * 1440 / dpiX);
    range.rc.bottom = static_cast<int>(static_cast<long long>(top + PixelPrintHeight()) * 1440 / dpiY);
    range.rcPage = range.rc;
}

struct TRichPrinter::Layout {
    TFormatRange range;
    int length = 0;
    int position = 0;
    bool first = true;
};

void TRichPrinter::PrintRichEdit(TRichEdit *richEdit, unsigned startPage)
{
    beginLayout(richEdit, startPage);
    while (layoutStep()) {
    }
    endLayout();
}

void TRichPrinter::beginLayout(TRichEdit *richEdit, unsigned startPage)
{
    richEdit_ = richEdit;
    startPage_ = startPage;
    layout_.reset();
    BeginDoc();
    layout_ = std::make_unique<Layout>();
    // From here on the document is open: every way out ends it.
    try {
        if (PixelPrintWidth() <= 0 || PixelPrintHeight() <= 0)
            throw ELinePrinter(QStringLiteral("The margins leave no room for the text (%1 x %2 pixels)")
                                   .arg(PixelPrintWidth())
                                   .arg(PixelPrintHeight()));
        fillRange(layout_->range);
        layout_->length = richEdit->TextLength();
        richEdit->FormatRange(nullptr, false);
    } catch (...) {
        layoutFailed();
        throw;
    }
}

// One page: a new page for every page after the first, then its text. False after the last.
bool TRichPrinter::layoutStep()
{
    Layout &l = *layout_;
    try {
        if (!l.first) {
            NewPage();
            fillRange(l.range);
        }
        l.first = false;
        l.range.cpMin = l.position;
        l.range.cpMax = -1;
        const int next = richEdit_->FormatRange(&l.range, true);
        if (next < 0 || next >= l.length)
            return false;
        if (next <= l.position)
            throw ELinePrinter(QStringLiteral("The text area is too small for a line of the text"));
        l.position = next;
        return true;
    } catch (...) {
        layoutFailed();
        throw;
    }
}

void TRichPrinter::endLayout()
{
    richEdit_->FormatRange(nullptr, false);
    layout_.reset();
    EndDoc();
}

void TRichPrinter::layoutFailed()
{
    richEdit_->FormatRange(nullptr, false);
    layout_.reset();
    if (previewMode_) {
        // The preview is abandoned by the caller; no page is finished after a failure.
        previewCanvas_ = nullptr;
        previewMode_ = false;
        closeProgress();
    } else {
        try {
            AbortDoc();
        } catch (...) {
        }
    }
}

void TRichPrinter::PrintRichEditPreview(TRichEdit *richEdit)
{
    StartRichEditPreview(richEdit);
    if (steps_ && steps_->running())
        steps_->runToEnd();
}

bool TRichPrinter::PreviewRunning() const
{
    return stepping_;
}

void TRichPrinter::StartRichEditPreview(TRichEdit *richEdit, std::function<void()> done)
{
    if (PreviewRunning())
        return; // one run at a time
    runDone_ = std::move(done);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    cursorSet_ = true;
    previewAborted_ = false;
    previewGone_ = false;
    failure_.clear();
    runPages_ = nullptr;
    try {
        if (!previewFactory()) {
            PrintRichEdit(richEdit, 1);
            finishPreview();
            return;
        }
        WriteIniFileCompress();
        PreviewPages *pages = previewFactory()();
        if (!pages)
            throw ELinePrinter(QStringLiteral("The preview window cannot be opened."));
        runPages_ = pages;
        PreviewSetup setup;
        setup.printerPageWidth = MeasureUnitsToPixelsH(GetPhysicalPageWidth());
        setup.printerPageHeight = MeasureUnitsToPixelsV(GetPhysicalPageHeight());
        const Dpi resolution = dpi();
        setup.dpiX = resolution.x;
        setup.dpiY = resolution.y;
        setup.rulerUnit = measureUnit_;
        setup.pageWidth = GetPhysicalPageWidth();
        setup.pageHeight = GetPhysicalPageHeight();
        setup.ratioPage = setup.pageHeight / setup.pageWidth;
        setup.printer = port_->printer();
        setup.cancel = [this, pages] {
            if (preview_ == pages)
                CancelPreview();
        };
        setup.closing = [this, pages] {
            if (preview_ == pages)
                previewClosing();
        };
        pages->setup(setup);
        preview_ = pages;
        previewMode_ = true;
        previewCanvas_ = pages->beginPage();
        if (!previewCanvas_)
            throw ELinePrinter(QStringLiteral("The preview cannot take a page."));
        previewCanvas_->setFont(deviceFont());
        if (!steps_)
            steps_ = std::make_unique<kelpa::SteppedRun>();
        stepping_ = true;
        beginLayout(richEdit, 1);
        // The first page goes on screen before the event loop's next turn; the rest follow
        // a slice at a time.
        if (layoutStep()) {
            steps_->start([this] { return previewStep(); }, [this] { finishPreview(); });
            return;
        }
    } catch (const ELinePrinter &e) {
        failure_ = e.message();
    } catch (const std::exception &e) {
        failure_ = QString::fromLocal8Bit(e.what());
    }
    finishPreview();
}

bool TRichPrinter::previewStep()
{
    if (GetAborted())
        return false; // the pages laid out so far stay
    try {
        return layoutStep();
    } catch (const ELinePrinter &e) {
        failure_ = e.message();
    } catch (const std::exception &e) {
        failure_ = QString::fromLocal8Bit(e.what());
    }
    return false;
}

void TRichPrinter::CancelPreview()
{
    if (!PreviewRunning() || previewAborted_)
        return;
    AbortDoc();
}

void TRichPrinter::previewClosing()
{
    // Nothing more goes to the window, which deletes its pages as it closes.
    previewGone_ = true;
    previewAborted_ = true;
    preview_ = nullptr;
    runPages_ = nullptr;
    previewCanvas_ = nullptr;
    closeProgress();
}

void TRichPrinter::finishPreview()
{
    // A layout still open ended with its last page, or by Cancel: the last page laid out is
    // whole and goes into the preview as its last.
    if (layout_ && failure_.isEmpty()) {
        try {
            if (previewGone_) {
                richEdit_->FormatRange(nullptr, false);
                layout_.reset();
            } else {
                endLayout();
            }
        } catch (const ELinePrinter &e) {
            failure_ = e.message();
        } catch (const std::exception &e) {
            failure_ = QString::fromLocal8Bit(e.what());
        }
    }
    // Whatever happened, the printer's own canvas is back and the run is over.
    layout_.reset();
    PreviewPages *pages = runPages_;
    const bool wasRun = preview_ != nullptr;
    previewCanvas_ = nullptr;
    previewMode_ = false;
    preview_ = nullptr;
    runPages_ = nullptr;
    previewAborted_ = false;
    stepping_ = false;
    closeProgress();
    if (cursorSet_) {
        cursorSet_ = false;
        QGuiApplication::restoreOverrideCursor();
    }
    auto done = std::exchange(runDone_, {});
    if (!failure_.isEmpty()) {
        const QString failure = failure_;
        failure_.clear();
        if (wasRun && pages)
            pages->abandon();
        ShowMessageBox(QStringLiteral("Error"), QStringLiteral("Cannot print the document: %1").arg(failure));
    }
    if (done)
        done();
}

// --- Properties

void TRichPrinter::checkNotPrinting(const char *what) const
{
    if (port_->printing())
        throw ELinePrinter(QStringLiteral("Unable to change %1 while printing").arg(QLatin1String(what)));
}

double TRichPrinter::clampMargin(double value, double low, double high) const
{
    if (value < low)
        value = low;
    if (value > high)
        value = high;
    return value;
}

void TRichPrinter::SetMarginTop(double value)
{
    checkNotPrinting("top margin");
    marginTop_ = clampMargin(value, GutterTop(), GetPhysicalPageHeight() - GutterBottom());
}

void TRichPrinter::SetMarginBottom(double value)
{
    checkNotPrinting("bottom margin");
    marginBottom_ = clampMargin(value, GutterBottom(), GetPhysicalPageHeight() - GutterTop());
}

void TRichPrinter::SetMarginLeft(double value)
{
    checkNotPrinting("left margin");
    marginLeft_ = clampMargin(value, GutterLeft(), GetPhysicalPageWidth() - GutterRight());
}

void TRichPrinter::SetMarginRight(double value)
{
    checkNotPrinting("right margin");
    marginRight_ = clampMargin(value, GutterRight(), GetPhysicalPageWidth() - GutterLeft());
}

QPageLayout::Orientation TRichPrinter::Orientation() const
{
    return port_->orientation();
}

void TRichPrinter::SetOrientation(QPageLayout::Orientation orientation)
{
    checkNotPrinting("orientation");
    port_->setOrientation(orientation);
}

QString TRichPrinter::Title() const
{
    return port_->available() ? port_->title() : QStringLiteral("<Unknown>");
}

void TRichPrinter::SetTitle(const QString &title)
{
    checkNotPrinting("title");
    port_->setTitle(title);
}

void TRichPrinter::SetOptions_Dialog(TPageOptions options)
{
    unsigned flags = 0;
    if (options & poDisableMargins) {
        flags |= PSD_DISABLEMARGINS;
        options &= ~unsigned(poMargins);
    } else if (options & poMargins) {
        flags |= PSD_MARGINS;
        options &= ~unsigned(poDisableMargins);
    }
    if (options & poDisableOrientation)
        flags |= PSD_DISABLEORIENTATION;
    if (options & poDisablePaper)
        flags |= PSD_DISABLEPAPER;
    if (options & poDisablePrinter)
        flags |= PSD_DISABLEPRINTER;
    flags |= measureUnit_ == TMeasureUnit::muMillimeters ? PSD_INHUNDREDTHSOFMILLIMETERS : PSD_INTHOUSANDTHSOFINCHES;
    options_ = options;
    pageSetupFlags_ = flags;
}

void TRichPrinter::SetMeasureUnit(TMeasureUnit unit)
{
    if (unit == measureUnit_)
        return;
    measureUnit_ = unit;
    if (constructing_)
        return;
    const auto convert = [unit](double v) { return unit == TMeasureUnit::muInches ? v / kMmPerInch : v * kMmPerInch; };
    const double top = convert(marginTop_), bottom = convert(marginBottom_);
    const double left = convert(marginLeft_), right = convert(marginRight_);
    SetMarginTop(top);
    SetMarginBottom(bottom);
    SetMarginLeft(left);
    SetMarginRight(right);
    borderOffset_ = convert(borderOffset_);
    defaultColumnWidth_ = convert(defaultColumnWidth_);
    logoHeight_ = convert(logoHeight_);
    logoLeft_ = convert(logoLeft_);
    logoTop_ = convert(logoTop_);
    logoWidth_ = convert(logoWidth_);
    const auto convertFormat = [&](const QString &format) {
        bool ok = false;
        const double width = format.mid(1).trimmed().toDouble(&ok);
        return QStringLiteral(">") + QString::asprintf("%8.3f", convert(ok && std::isfinite(width) ? width : 0.0));
    };
    footerFormat_ = convertFormat(footerFormat_);
    headerFormat_ = convertFormat(headerFormat_);
    Refresh();
}

void TRichPrinter::Refresh()
{
    if (port_->printing())
        return;
    SetMarginTop(marginTop_);
    SetMarginBottom(marginBottom_);
    SetMarginLeft(marginLeft_);
    SetMarginRight(marginRight_);
}

} // namespace kelpa::printmod
