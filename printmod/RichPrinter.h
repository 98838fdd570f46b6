#pragma once
// TRichPrinter: prints a TRichEdit page by page with a header and a footer line built from
// column formats and tokens, optional page borders and a logo; or records the same pages for
// the preview window.
//
//   TRichPrinter printer(std::make_unique<QtPrinterPort>());
//   printer.SetHeader("{$TITLE}|Page {$PAGE}"); printer.SetHeaderFormat("<100|>60");
//   printer.SetTitle("Letter.rtf");
//   printer.PrintRichEdit(edit, 1);        // to the printer
//   printer.PrintRichEditPreview(edit);    // into the preview (see PreviewPages below)
//
// Geometry is in device pixels of the printer, measured from the corner of its printable area;
// lengths of the properties are in the measure unit (millimetres or inches). Rounding to whole
// pixels is to the nearest integer, halves to even.
#include "printmod/PrinterPort.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPageRanges>
#include <QPageLayout>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

class QDialog;
class QLabel;
class QPainter;
class QPrinter;
class QWidget;
namespace kelpa::richedit {
class TRichEdit;
struct TFormatRange;
}

namespace kelpa {
class SteppedRun;
}

namespace kelpa::printmod {

// The component's own errors; the text is what the user is shown.
class ELinePrinter : public std::runtime_error {
public:
    explicit ELinePrinter(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

// The system colour "window text".
inline constexpr std::int32_t kWindowTextColor = static_cast<std::int32_t>(0x80000008u);

enum class TMeasureUnit { muMillimeters = 0, muInches = 1 };
enum TPageBorderStyle { pbTop = 1, pbBottom = 2, pbLeft = 4, pbRight = 8 };
using TPageBorders = unsigned;
enum TPageSetupFlag { poDisableMargins = 1, poMargins = 2, poDisableOrientation = 4, poDisablePaper = 8, poDisablePrinter = 16 };
using TPageOptions = unsigned;
enum class TAlignmentToken { Left, Right, Centre };

// Page setup dialog flags as the component hands them on.
inline constexpr unsigned PSD_MARGINS = 0x2;
inline constexpr unsigned PSD_INTHOUSANDTHSOFINCHES = 0x4;
inline constexpr unsigned PSD_INHUNDREDTHSOFMILLIMETERS = 0x8;
inline constexpr unsigned PSD_DISABLEMARGINS = 0x10;
inline constexpr unsigned PSD_DISABLEPRINTER = 0x20;
inline constexpr unsigned PSD_DISABLEORIENTATION = 0x100;
inline constexpr unsigned PSD_DISABLEPAPER = 0x200;

// --- Text helpers of the header and footer language.

// Every occurrence of `find` replaced by `replace` in one pass from left to right (replaced
// text is never searched again). A `replace` that holds `find` leaves the text unchanged; an
// empty `find` too.
QString ReplaceSubString(const QString &find, const QString &replace, const QString &text);
// The pieces of `text` between "|" characters, empty ones included; always at least one.
QStringList TokenizeString(const QString &text);
// The text up to and including its last character below 33; the whole text when it has none.
QString StripBackToWhiteSpace(const QString &text);
// One column format: "<" left, ">" right, "^" centre, then the width in the measure unit
// (not a number: `defaultWidth`). Other first characters mean left and are part of the width.
void ParseFormatToken(QString &token, TAlignmentToken &alignment, double &width, double defaultWidth);

// What the preview is told before the first page.
struct PreviewSetup {
    int printerPageWidth = 0;   // the physical page in printer pixels
    int printerPageHeight = 0;
    int dpiX = 0;               // the resolution the pages are drawn at
    int dpiY = 0;
    TMeasureUnit rulerUnit = TMeasureUnit::muMillimeters;
    double pageWidth = 0;       // the physical page in the measure unit
    double pageHeight = 0;
    double ratioPage = 0;       // page height / page width
    QPrinter *printer = nullptr; // where the preview's own printing goes; may be null
    // While pages are still being laid out: `cancel` stops the run at the next page and keeps
    // the pages so far; `closing` tells the printer that the preview is going away (nothing
    // more is handed to it). Both do nothing once the run is over.
    std::function<void()> cancel;
    std::function<void()> closing;
};

// The preview's side of a preview run. PrintRichEditPreview asks the factory (set once by the
// program) for one, calls setup, then for every page beginPage, draws on the painter it gave
// (device pixels at the setup's resolution, origin at the printable area's corner) and calls
// finishPage; finishPage(true) ends the document. When the run fails, abandon() is called
// instead of the last finishPage and the error is shown. The object belongs to the preview
// (its window usually); the printer never uses it after the run.
class PreviewPages {
public:
    virtual ~PreviewPages() = default;
    virtual void setup(const PreviewSetup &setup) = 0;
    virtual QPainter *beginPage() = 0;
    virtual void finishPage(bool last) = 0;
    virtual void abandon() = 0;
};
using PreviewFactory = std::function<PreviewPages *()>;

class TRichPrinter {
public:
    explicit TRichPrinter(std::unique_ptr<PrinterPort> port = std::make_unique<QtPrinterPort>());
    ~TRichPrinter();
    TRichPrinter(const TRichPrinter &) = delete;
    TRichPrinter &operator=(const TRichPrinter &) = delete;

    PrinterPort &Port() { return *port_; }

    // --- Printing
    void PrintRichEdit(richedit::TRichEdit *richEdit, unsigned startPage);
    // Renders into the preview; without a preview factory it prints the pages instead.
    // Failures are reported to the user; the canvas, preview mode and progress window are
    // restored whatever happens. Returns when the run is over.
    void PrintRichEditPreview(richedit::TRichEdit *richEdit);
    // The same run, laid out a page at a time from the event loop: the first page is laid out
    // before it returns, the others follow while the windows are painted and used. The
    // progress window's Cancel (or Escape) stops it and keeps the pages laid out so far. A
    // run already going is left alone. `richEdit` must stay until the run is over; `done`
    // runs when it is (also after a failure; not when the printer goes first).
    void StartRichEditPreview(richedit::TRichEdit *richEdit, std::function<void()> done = {});
    bool PreviewRunning() const;
    // What Cancel does: the run stops at its next page, the pages so far stay in the preview.
    void CancelPreview();
    static void SetPreviewFactory(PreviewFactory factory);
    static bool HasPreview();

    // The pages that reach the printer, as the print dialog chose them (empty: all). The
    // document is laid out whole either way, so page numbers and breaks stay the same.
    void SetPrintedPages(const QPageRanges &pages) { printedPages_ = pages; }
    const QPageRanges &PrintedPages() const { return printedPages_; }

    void BeginDoc();
    int NewPage();
    void EndDoc();
    void AbortDoc();
    int NewLine();
    void WriteLine(const QString &text);
    void WriteTableLine(const QString &text);
    void SplitLineAndPrint(const QString &text);
    QString GetClippedLine(const QString &text, int maxWidth) const;
    QString ExpandLogicalFields(const QString &text) const;
    int GetPageNumber() const { return pageNumber_; }
    bool GetAborted() const { return port_->aborted() || previewAborted_; }
    bool PreviewMode() const { return previewMode_; }

    // --- Geometry (device pixels / measure unit)
    int PixelPrintWidth() const;
    int PixelPrintHeight() const;
    int StartingLeft() const;
    int StartingRight() const;
    int StartingTop() const;
    int StartingBottom() const;
    double GetAvailablePageWidth() const;
    double GetAvailablePageHeight() const;
    double GetPhysicalPageWidth() const;
    double GetPhysicalPageHeight() const;
    double GutterTop() const;
    double GutterBottom() const;
    double GutterLeft() const;
    double GutterRight() const;
    int MeasureUnitsToPixelsH(double value) const;
    int MeasureUnitsToPixelsV(double value) const;
    double PixelsToMeasureUnitsH(int pixels) const;
    double PixelsToMeasureUnitsV(int pixels) const;
    int LineHeight() const { return lineHeight_; }

    // --- Properties
    TMeasureUnit MeasureUnit() const { return measureUnit_; }
    void SetMeasureUnit(TMeasureUnit unit);
    bool CompressPreview() const { return compressPreview_; }
    void SetCompressPreview(bool on) { compressPreview_ = on; }
    bool SaveMargins() const { return saveMargins_; }
    void SetSaveMargins(bool on) { saveMargins_ = on; }
    const QImage &BitmapLogo() const { return logo_; }
    void SetBitmapLogo(const QImage &logo) { logo_ = logo.copy(); }
    double MarginTop() const { return marginTop_; }
    void SetMarginTop(double value);
    double MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(double value);
    double MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(double value);
    double MarginRight() const { return marginRight_; }
    void SetMarginRight(double value);
    double LogoTop() const { return logoTop_; }
    void SetLogoTop(double v) { logoTop_ = v; }
    double LogoLeft() const { return logoLeft_; }
    void SetLogoLeft(double v) { logoLeft_ = v; }
    double LogoWidth() const { return logoWidth_; }
    void SetLogoWidth(double v) { logoWidth_ = v; }
    double LogoHeight() const { return logoHeight_; }
    void SetLogoHeight(double v) { logoHeight_ = v; }
    const QString &Header() const { return header_; }
    void SetHeader(const QString &text) { header_ = text; }
    const QString &HeaderFormat() const { return headerFormat_; }
    void SetHeaderFormat(const QString &text) { headerFormat_ = text; }
    const QString &Footer() const { return footer_; }
    void SetFooter(const QString &text) { footer_ = text; }
    const QString &FooterFormat() const { return footerFormat_; }
    void SetFooterFormat(const QString &text) { footerFormat_ = text; }
    TPageBorders PageBorders() const { return borders_; }
    void SetPageBorders(TPageBorders borders) { borders_ = borders; }
    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool on) { showProgress_ = on; }
    // The header/footer font and its colour as a colour value (0x00BBGGRR, or a system colour
    // 0x80000000 + index); a pure white colour becomes black.
    const QFont &Font_HeaderFooter() const { return font_; }
    std::int32_t FontColor() const { return fontColor_; }
    void SetFont(const QFont &font, std::int32_t color);
    QPageLayout::Orientation Orientation() const;
    void SetOrientation(QPageLayout::Orientation orientation);
    QString Title() const;
    void SetTitle(const QString &title);
    double BorderOffset() const { return borderOffset_; }
    void SetBorderOffset(double v) { borderOffset_ = v; }
    double DefaultColumnWidth() const { return defaultColumnWidth_; }
    TPageOptions Options_Dialog() const { return options_; }
    void SetOptions_Dialog(TPageOptions options);
    unsigned PageSetupFlags() const { return pageSetupFlags_; }
    // Kept for callers that read them; nothing sets them.
    std::int16_t PaperLength() const { return 0; }
    std::int16_t PaperWidth() const { return 0; }

    std::function<void()> OnBeginDoc, OnEndDoc, OnAbortDoc, OnNewPage;

    void Refresh();
    // The page setup dialog (paper, orientation, margins); true after "OK".
    bool PageDialog(QWidget *owner = nullptr);
    // Test hook: replaces the dialog; it gets the margins in the measure unit (left, top,
    // right, bottom) and the printer, and returns whether it ended with "OK".
    using PageSetupRunner = std::function<bool(double margins[4], QPrinter *printer)>;
    void SetPageSetupRunner(PageSetupRunner runner) { pageSetupRunner_ = std::move(runner); }

    // --- Registry "RichPrint.Settings" under the current user.
    void ReadIniFile();
    void WriteIniFile();
    void WriteIniFileCompress();

    // The progress window while a run shows it; null otherwise.
    QDialog *ProgressWindow() const;

private:
    DeviceMetrics metricsOrFallback(bool *available) const;
    // The printer's resolution, or the one pages are laid out at without a printer.
    struct Dpi {
        int x;
        int y;
    };
    Dpi dpi() const;
    // A device length in the measure unit, or its fallback without a printer.
    double deviceLength(int DeviceMetrics::*field, bool across, double mm, double inches) const;
    double clampMargin(double value, double low, double high) const;
    void checkNotPrinting(const char *what) const;
    void setLineSpacing();
    void applyFont();
    QFont deviceFont() const;
    QPainter *canvas() const;
    int textWidth(const QString &text) const;
    void drawText(int x, int y, const QString &text);
    void doNewPageProcessing();
    void updateProgressDlg(const QString &status);
    void closeProgress();
    void fillingOnePage(bool last);
    void fillRange(richedit::TFormatRange &range) const;

    bool pageGoesOut(int page) const;

    // The layout of the control's text, a page per step; a failure ends the document and
    // passes on.
    struct Layout;
    void beginLayout(richedit::TRichEdit *richEdit, unsigned startPage);
    bool layoutStep();
    void endLayout();
    void layoutFailed();
    bool previewStep();
    void finishPreview();
    void previewClosing();

    std::unique_ptr<PrinterPort> port_;
    QPageRanges printedPages_;
    bool devicePageUsed_ = false;         // the device's current page holds a printed page
    QImage scratch_;                      // pages that are not printed are drawn here
    std::unique_ptr<QPainter> scratchPainter_;
    QPainter *previewCanvas_ = nullptr;   // the preview page being drawn, in preview mode
    PreviewPages *preview_ = nullptr;     // during a preview run only
    PreviewPages *runPages_ = nullptr;    // the run's preview, to abandon when the run fails
    std::unique_ptr<Layout> layout_;
    std::unique_ptr<kelpa::SteppedRun> steps_;
    bool stepping_ = false;               // a preview run laid out in steps is going
    bool previewAborted_ = false;         // Cancel: the run ends at its next page
    bool previewGone_ = false;            // the preview window closed during the run
    bool cursorSet_ = false;
    QString failure_;
    std::function<void()> runDone_;
    std::unique_ptr<QDialog> progress_;
    QLabel *lblStatus_ = nullptr;
    QLabel *lblTitle_ = nullptr;
    QLabel *lblPageNumber_ = nullptr;
    unsigned startPage_ = 1;
    int lineCount_ = 0;
    bool constructing_ = true;
    int ascent_ = 0;
    QString columnFormat_;
    bool previewMode_ = false;
    richedit::TRichEdit *richEdit_ = nullptr;
    int cursorX_ = 0;
    int cursorY_ = 0;
    int lineHeight_ = 10;
    unsigned pageSetupFlags_ = 0;
    double defaultColumnWidth_ = 0;
    int pageNumber_ = 0;

    TMeasureUnit measureUnit_ = TMeasureUnit::muMillimeters;
    bool compressPreview_ = true;
    bool saveMargins_ = false;
    QImage logo_;
    double marginTop_ = 30, marginBottom_ = 25, marginLeft_ = 25, marginRight_ = 15;
    double logoTop_ = 0, logoLeft_ = 0, logoWidth_ = 25, logoHeight_ = 20;
    QString header_ = QStringLiteral("{$TITLE}");
    QString headerFormat_ = QStringLiteral(">100");
    QString footer_ = QStringLiteral("Page {$PAGE}");
    QString footerFormat_ = QStringLiteral(">100");
    TPageBorders borders_ = 0;
    bool showProgress_ = true;
    QFont font_;
    std::int32_t fontColor_ = kWindowTextColor;
    double borderOffset_ = 2;
    TPageOptions options_ = poMargins;
    PageSetupRunner pageSetupRunner_;
};

} // namespace kelpa::printmod
