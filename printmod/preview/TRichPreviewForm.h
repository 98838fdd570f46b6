#pragma once
// The print preview: shows the pages the printer component records, from the page cache, one
// page or four to a window, with rulers and zoom, a second window for the following page(s)
// when the screen is wide enough, and prints chosen pages straight from the cache.
#include "printmod/preview/core/PageCache.h"
#include "printmod/preview/core/PageFile.h"
#include "printmod/preview/core/PreviewModel.h"

#include <QEvent>
#include <QImage>
#include <QPageLayout>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QScrollArea;
class QTimer;

namespace kelpa::preview {

class TArrowButton;
class TPreview2;
class PageRecording;

enum class TMeasureUnit : unsigned char { muMillimeters = 0, muInches = 1 };

// The picture a window shows its page(s) in, drawn at the screen's own pixel density.
class PageImage : public QWidget {
public:
    explicit PageImage(QWidget *parent) : QWidget(parent) {}
    QImage bitmap;
    std::function<void(Qt::MouseButton)> onMouseDown;

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
};

// The range the print dialog gave, 1-based; nothing when it was cancelled.
struct PrintRange {
    int from = 1, to = 1;
    // A list of pages typed in the dialog, when it gave one: those are printed, not from .. to.
    std::vector<std::pair<int, int>> list = {};
    enum class Set { All, Odd, Even } set = Set::All;
};
using PrintDialogFunction =
    std::function<std::optional<PrintRange>(QPrinter &printer, int minimum, int maximum, QWidget *owner)>;

// What a preview window is opened with besides the page's shape; empty values take the usual
// source.
struct PreviewOptions {
    std::optional<bool> compressFiles; // else the registry's "CompressPreview"
    std::filesystem::path cacheBase;   // where the page folder goes, else the temporary folder
    std::optional<QSize> screen;       // the screen the windows are laid out for, else the primary one
};

class TRichPreviewForm : public QWidget {
    Q_OBJECT
public:
    // A number typed into the page box is taken on Enter or after this pause.
    static constexpr int kTypedPagePauseMs = 700;
    // ratioPage: page height / width (0 when unknown).
    explicit TRichPreviewForm(double ratioPage, const PreviewOptions &options = {});
    ~TRichPreviewForm() override;

    // Set by the printer component before the first page.
    int PrinterPageWidth = 0, PrinterPageHeight = 0;
    double PageWidth = 0, PageHeight = 0;
    TMeasureUnit RulerUnit = TMeasureUnit::muMillimeters;
    // Where printing goes; the form's own printer when null. The pages are printed on the
    // printer's paper as it is when it is set (the paper they are laid out for).
    void setPrinter(QPrinter *printer);
    void setPrintDialog(PrintDialogFunction f) { printDialog_ = std::move(f); }

    // Stores a finished page as the next page file and shows it while formatting goes on.
    void FillImagelist(const Page &page);
    void FillImagelist(PageRecording &recording);
    // FormPaint, as the printer component's repaint runs it.
    void Repaint();
    // While the printer still lays pages out: the finished set-up waits for the end, Escape
    // calls `cancel`, and closing the window calls `closing` first.
    void setFormatting(bool on, std::function<void()> cancel = {}, std::function<void()> closing = {});
    bool formatting() const { return formatting_; }

    // The commands.
    void ArrowButton2Click();
    void ArrowButton1Click();
    void SpeedButton1Click(); // print
    void SpeedButton2Click(); // larger
    void SpeedButton3Click(); // smaller
    void Label7DblClick();
    void CheckBox1Click();
    // Activation: the first one after the pages are in sets the finished preview up.
    void FormActivate();

    // Read-only views for tests and the second window.
    const ViewState &state() const { return state_; }
    bool CompressFiles() const { return compressFiles_; }
    bool TwoWindows() const { return preview2_ != nullptr; }
    TPreview2 *Preview2() const { return preview2_; }
    const PageCache *cache() const { return cache_.get(); }
    QLineEdit *Edit1() const { return edit1_; }
    QLineEdit *MaskEdit1() const { return maskEdit1_; }
    QCheckBox *CheckBox1() const { return checkBox1_; }
    TArrowButton *ArrowButton1() const { return arrowButton1_; }
    TArrowButton *ArrowButton2() const { return arrowButton2_; }
    QPushButton *SpeedButton3() const { return speedButton3_; }
    QLabel *Label7() const { return label7_; }
    QLabel *Label10() const { return label10_; }
    PageImage *Image1() const { return image1_; }
    QScrollArea *ScrollBox1() const { return scrollBox1_; }
    const WindowGeometry &geometryAtCreation() const { return geometry_; }
    // Draws the rulers of `window` (this one or the second window) with this window's geometry.
    void SetupRulers(QPainter &painter, QWidget *window);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // The window's keys are seen by `widget` and all that come into it.
    void watchKeys(QWidget *widget);
    void layoutBar();
    void FormPaint();
    void paintNow();
    void FormKeyDown(QKeyEvent *event);
    bool FormKeyPress(const QString &text);
    // Takes the number typed into the page box.
    void Edit1KeyUp();
    void run(const std::vector<Step> &steps);
    void applyButtons();
    void SetupPgUp(bool enabled);
    void SetupPgDown(bool enabled);
    void LabelsVisiblePreview2(bool visible);
    void ClearPreview1();
    void ClearPreview2();
    void SizeImageForZoom(int which);
    // The page file `index` (or the page kept in memory) as a page; nothing when it is
    // missing. A damaged file throws DamagedPage.
    std::optional<Page> restorePage(int index);
    void drawInto(PageImage *image, const Page &page, const QRect &target);
    // False when nothing was printed (no pages, the dialog cancelled).
    bool printFromCache();
    void showError(const QString &text);

    ViewState state_;
    Navigator nav_{state_};
    std::unique_ptr<PageCache> cache_;
    bool compressFiles_ = false;
    bool awaitingFirstPaint_ = true;
    bool formatting_ = false;
    bool paintPending_ = false;
    std::function<void()> cancelFormatting_, closingWhileFormatting_;
    bool cacheErrorShown_ = false;
    std::string cacheError_;              // why the page folder could not be made
    std::map<int, Page> memoryPages_;     // pages that could not be stored on disk
    bool busyPrinting_ = false;
    const QEvent *keyInDelivery_ = nullptr; // the key the window handled, on its way through the controls
    Page pageCache_;
    int freshPage_ = -1; // the page just stored, still in pageCache_
    double ratioPage_ = 0;
    QSize screen_;
    WindowGeometry geometry_;
    TPreview2 *preview2_ = nullptr;
    QPrinter *printer_ = nullptr;
    std::optional<QPageLayout> laidOutPaper_;
    int laidOutDpi_ = 0;
    std::unique_ptr<QPrinter> ownPrinter_;
    PrintDialogFunction printDialog_;

    QWidget *panel1_ = nullptr;
    TArrowButton *arrowButton1_ = nullptr, *arrowButton2_ = nullptr;
    QLabel *label1_ = nullptr, *label2_ = nullptr, *label3_ = nullptr, *label9_ = nullptr;
    QLabel *label4_ = nullptr, *label5_ = nullptr, *label6_ = nullptr, *label7_ = nullptr;
    QLabel *label8_ = nullptr, *label10_ = nullptr;
    QPushButton *speedButton1_ = nullptr, *speedButton2_ = nullptr, *speedButton3_ = nullptr;
    QPushButton *bitBtn1_ = nullptr;
    QLineEdit *edit1_ = nullptr, *maskEdit1_ = nullptr;
    QCheckBox *checkBox1_ = nullptr;
    QScrollArea *scrollBox1_ = nullptr;
    PageImage *image1_ = nullptr;
    QTimer *typedPause_ = nullptr;
};

// The second window: shows what the preview draws into it; it has no commands, cannot be
// closed by the user, and hands every key back to the preview.
class TPreview2 : public QWidget {
    Q_OBJECT
public:
    TPreview2(TRichPreviewForm *owner, double ratioPage, QSize screen);
    PageImage *Image1() const { return image1_; }
    QScrollArea *ScrollBox1() const { return scrollBox1_; }
    QLabel *Label1() const { return label1_; }
    QLabel *Label2() const { return label2_; }
    QLabel *Label5() const { return label5_; }
    // Lets the preview close it as it closes itself.
    void closeWithOwner();
    // Size and place of the preview window, to its right.
    void FormActivate();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    TRichPreviewForm *owner_;
    bool closing_ = false;
    QWidget *panel1_ = nullptr;
    QScrollArea *scrollBox1_ = nullptr;
    PageImage *image1_ = nullptr;
    QLabel *label1_ = nullptr, *label2_ = nullptr, *label5_ = nullptr;
};

} // namespace kelpa::preview
