#include "printmod/preview/TRichPreviewForm.h"

#include "platform/Registry.h"
#include "printmod/preview/PageRecording.h"
#include "printmod/preview/TArrowButton.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPageRanges>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace kelpa::preview {

namespace {

const char *const kFinishedCaption = "Print Preview";

// The print server's job options on a printer (names and values in turn).
constexpr auto kServerJobOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// The print dialog leaves "Pages" lists and odd or even pages to the print server as job
// options, for the server to choose within the job. The job holds only the pages chosen, so the
// choices are taken off the printer here and made by the preview, on the document's numbers.
struct ServerPageChoices {
    PrintRange::Set set = PrintRange::Set::All;
    std::vector<std::pair<int, int>> list; // "page-ranges", when there was one
};
ServerPageChoices takeServerPageChoices(QPrinter &printer)
{
    ServerPageChoices choices;
    QPrintEngine *engine = printer.printEngine();
    if (!engine)
        return choices;
    QStringList options = engine->property(kServerJobOptions).toStringList();
    bool taken = false;
    for (qsizetype i = 0; i + 1 < options.size();) {
        if (options[i] == QLatin1String("page-set")) {
            if (options[i + 1] == QLatin1String("odd"))
                choices.set = PrintRange::Set::Odd;
            else if (options[i + 1] == QLatin1String("even"))
                choices.set = PrintRange::Set::Even;
        } else if (options[i] == QLatin1String("page-ranges")) {
            for (const QPageRanges::Range &r : QPageRanges::fromString(options[i + 1]).toRangeList())
                choices.list.emplace_back(r.from, r.to);
        } else {
            i += 2;
            continue;
        }
        options.remove(i, 2);
        taken = true;
    }
    if (taken)
        engine->setProperty(kServerJobOptions, options);
    // For a range the program prints itself, the dialog counts odd and even within the job the
    // server gets: from an even first page it names the other set.
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() % 2 == 0) {
        if (choices.set == PrintRange::Set::Odd)
            choices.set = PrintRange::Set::Even;
        else if (choices.set == PrintRange::Set::Even)
            choices.set = PrintRange::Set::Odd;
    }
    return choices;
}

QString paperText(const QPageLayout &layout)
{
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    return QStringLiteral("%1 (%2 x %3 mm), %4")
        .arg(layout.pageSize().name())
        .arg(qRound(mm.width()))
        .arg(qRound(mm.height()))
        .arg(layout.orientation() == QPageLayout::Portrait ? QStringLiteral("portrait") : QStringLiteral("landscape"));
}

// Qt's printer properties, opened from the print dialog, show the queue's own paper; they are
// shown the paper the pages were laid out for instead, so that what the user leaves there is
// that paper and a change there is the user's choice.
class PropertiesPaper : public QObject {
public:
    PropertiesPaper(QDialog *printDialog, const std::optional<QPageLayout> &paper)
        : printDialog_(printDialog), paper_(paper)
    {
        qApp->installEventFilter(this);
    }
    ~PropertiesPaper() override { qApp->removeEventFilter(this); }
    bool opened() const { return opened_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        auto *properties = qobject_cast<QDialog *>(watched);
        if (!properties || properties == printDialog_ || properties->parentWidget() != printDialog_)
            return false;
        opened_ = true;
        if (!paper_)
            return false;
        if (auto *sizes = properties->findChild<QComboBox *>(QStringLiteral("pageSizeCombo"))) {
            for (int i = 0; i < sizes->count(); ++i) {
                const QVariant data = sizes->itemData(i);
                if (data.canConvert<QPageSize>() && qvariant_cast<QPageSize>(data).isEquivalentTo(paper_->pageSize())) {
                    sizes->setCurrentIndex(i);
                    break;
                }
            }
        }
        const char *orientation = paper_->orientation() == QPageLayout::Landscape ? "landscape" : "portrait";
        if (auto *button = properties->findChild<QRadioButton *>(QLatin1String(orientation)))
            button->setChecked(true);
        return false;
    }

private:
    QDialog *printDialog_;
    std::optional<QPageLayout> paper_;
    bool opened_ = false;
};

// The same sheet, the same way up: the pages' rectangles agree within a point.
bool samePaper(const QPageLayout &a, const QPageLayout &b)
{
    const QSizeF sa = a.fullRect(QPageLayout::Point).size(), sb = b.fullRect(QPageLayout::Point).size();
    return std::abs(sa.width() - sb.width()) < 1 && std::abs(sa.height() - sb.height()) < 1;
}

// The pages (or sheets) a range chooses, in order, within 1 .. units.
std::vector<int> chosenUnits(const PrintRange &range, int units)
{
    std::vector<int> chosen;
    auto add = [&](int first, int last) {
        for (int u = std::max(1, first); u <= std::min(last, units); ++u) {
            if ((range.set == PrintRange::Set::Odd && u % 2 == 0) || (range.set == PrintRange::Set::Even && u % 2 == 1))
                continue;
            chosen.push_back(u);
        }
    };
    if (range.list.empty())
        add(range.from, range.to);
    for (const auto &[first, last] : range.list)
        add(first, last);
    return chosen;
}

// A page file that is there but does not read as a page: the running command stops here.
struct DamagedPage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

QSize screenSize()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

QScrollArea *makeScrollBox(QWidget *parent, PageImage *&image)
{
    auto *box = new QScrollArea(parent);
    box->setFrameShape(QFrame::NoFrame);
    box->setWidgetResizable(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setBackgroundRole(QPalette::Dark);
    image = new PageImage(box);
    box->setWidget(image);
    return box;
}

void setBounds(QWidget *w, const Rect &r)
{
    w->setGeometry(r.left, r.top, r.width, r.height);
}

// The width the geometry counts for the window's frame.
constexpr int kFrameWidth = 8;

} // namespace

void PageImage::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!bitmap.isNull())
        p.drawImage(QPointF(0, 0), bitmap);
}

void PageImage::mousePressEvent(QMouseEvent *event)
{
    if (onMouseDown)
        onMouseDown(event->button());
}

// --- The preview window

TRichPreviewForm::TRichPreviewForm(double ratioPage, const PreviewOptions &options)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), ratioPage_(ratioPage),
      screen_(options.screen ? *options.screen : screenSize())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Print Preview (Formatting)"));
    if (options.compressFiles) {
        compressFiles_ = *options.compressFiles;
    } else {
        platform::RegIniFile ini(QStringLiteral("RichPrint.Settings"));
        compressFiles_ = ini.readBool(QStringLiteral("Compress"), QStringLiteral("CompressPreview"), true);
    }
    cache_ = PageCache::open(options.cacheBase.empty() ? PageCache::defaultBase() : options.cacheBase,
                             compressFiles_, cacheError_);

    const QSize screen = screen_;
    geometry_ = previewGeometry(screen.width(), screen.height(), ratioPage_);
    setFixedSize(geometry_.clientWidth, geometry_.clientHeight);
    buildControls();
    state_.lastPageIndex = -1;
    state_.pageIndex = 0;
    state_.followNewest = true;
    state_.reloadPage = true;
    applyButtons();
    move(std::max(0, (screen.width() - width() - kFrameWidth) / 2),
         std::max(0, (screen.height() - height() - 27) / 2));
    watchKeys(this);
    show();
}

TRichPreviewForm::~TRichPreviewForm()
{
    if (cache_)
        cache_->close();
}

void TRichPreviewForm::watchKeys(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TRichPreviewForm::buildControls()
{
    const WindowGeometry &g = geometry_;
    // The bar's controls are laid out for a small dialog font.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    scrollBox1_ = makeScrollBox(this, image1_);
    setBounds(scrollBox1_, g.image);
    image1_->resize(g.image.width, g.image.height);
    image1_->onMouseDown = [this](Qt::MouseButton b) {
        if (b == Qt::RightButton) {
            run(nav_.resetZoom(true));
        }
    };

    panel1_ = new QWidget(this);
    panel1_->setAutoFillBackground(true); // covers the rulers where a zoomed page makes them run on
    auto label = [this](const QString &text) {
        auto *l = new QLabel(text, this);
        l->adjustSize();
        return l;
    };
    auto button = [this](const QString &text) { return new QPushButton(text, this); };
    label4_ = label(QStringLiteral("Page number:"));
    edit1_ = new QLineEdit(this);
    edit1_->setToolTip(QStringLiteral("Number of current page (can be changed manually) "));
    label10_ = label(QStringLiteral("(000)"));
    label10_->setToolTip(QStringLiteral("Total number of pages"));
    label10_->hide();
    checkBox1_ = new QCheckBox(QStringLiteral("Compact"), this);
    checkBox1_->setToolTip(QStringLiteral("Four pages on one window"));
    speedButton1_ = button(QStringLiteral("&Print"));
    speedButton1_->setToolTip(QStringLiteral("Printing of selection from document ['P' key]"));
    bitBtn1_ = button(QStringLiteral("&Close"));
    bitBtn1_->setToolTip(QStringLiteral("Closing this preview"));
    label8_ = label(QStringLiteral("Zoom factor:"));
    label7_ = new QLabel(this);
    label7_->setAlignment(Qt::AlignCenter);
    arrowButton1_ = new TArrowButton(this);
    arrowButton1_->SetDirection(TButtonDirection::arwDOWN);
    arrowButton1_->setToolTip(QStringLiteral("Showing previous pages [PgDn]"));
    label2_ = label(QStringLiteral("PREVIOUS"));
    label9_ = label(QStringLiteral("page"));
    arrowButton2_ = new TArrowButton(this);
    arrowButton2_->SetDirection(TButtonDirection::arwUP);
    arrowButton2_->setToolTip(QStringLiteral("Showing next pages [PgUp]"));
    label1_ = label(QStringLiteral("NEXT "));
    label3_ = label(QStringLiteral("page"));
    speedButton2_ = button(QStringLiteral("&Larger"));
    speedButton2_->setToolTip(QStringLiteral("Larger zoom ['L' key]"));
    speedButton3_ = button(QStringLiteral("&Smaller"));
    speedButton3_->setToolTip(QStringLiteral("Smaller zoom ['S' key]"));
    speedButton3_->setEnabled(false);
    label6_ = label(QStringLiteral("Zoom step:"));
    maskEdit1_ = new QLineEdit(this);
    maskEdit1_->setInputMask(QStringLiteral("9.999;_"));
    maskEdit1_->setMaxLength(5);
    maskEdit1_->setToolTip(QStringLiteral("Input step size zooming"));
    label7_->setAutoFillBackground(true);
    QPalette inverted = label7_->palette();
    inverted.setColor(QPalette::Window, palette().color(QPalette::ButtonText));
    inverted.setColor(QPalette::WindowText, palette().color(QPalette::Button));
    label7_->setPalette(inverted);
    QFont f7 = label7_->font();
    f7.setPixelSize(13);
    label7_->setFont(f7);
    label7_->setToolTip(QStringLiteral("Actual size of the zoom (double click for a value of one)"));
    label7_->installEventFilter(this);
    label5_ = new QLabel(this);
    QFont f5 = label5_->font();
    f5.setBold(true);
    label5_->setFont(f5);
    QPalette red = label5_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    label5_->setPalette(red);
    label5_->setGeometry(0, 0, 24, 16);
    layoutBar();

    maskEdit1_->setText(q(zoomText(state_.zoomStep)));
    label7_->setText(q(zoomText(state_.zoom)));
    connect(maskEdit1_, &QLineEdit::textChanged, this, [this] {
        nav_.setZoomStep(maskEdit1_->displayText().toStdString());
    });
    connect(arrowButton2_, &TArrowButton::clicked, this, &TRichPreviewForm::ArrowButton2Click);
    connect(arrowButton1_, &TArrowButton::clicked, this, &TRichPreviewForm::ArrowButton1Click);
    connect(speedButton1_, &QPushButton::clicked, this, &TRichPreviewForm::SpeedButton1Click);
    connect(speedButton2_, &QPushButton::clicked, this, &TRichPreviewForm::SpeedButton2Click);
    connect(speedButton3_, &QPushButton::clicked, this, &TRichPreviewForm::SpeedButton3Click);
    connect(bitBtn1_, &QPushButton::clicked, this, &QWidget::close);
    connect(checkBox1_, &QCheckBox::clicked, this, &TRichPreviewForm::CheckBox1Click);
    typedPause_ = new QTimer(this);
    typedPause_->setSingleShot(true);
    typedPause_->setInterval(kTypedPagePauseMs);
    connect(typedPause_, &QTimer::timeout, this, &TRichPreviewForm::Edit1KeyUp);
    connect(edit1_, &QLineEdit::textEdited, typedPause_, qOverload<>(&QTimer::start));
    image1_->bitmap = QImage();
}

// The bar under the page: groups of controls in two rows, each row wrapped where the window
// is too narrow for it; the window grows (within the screen) to hold the bar, and the page
// gives up height where the bar needs more rows than there is room for.
void TRichPreviewForm::layoutBar()
{
    const QFontMetrics fm(font());
    // Room for the longest texts the boxes and labels show.
    edit1_->setFixedWidth(fm.horizontalAdvance(QStringLiteral("000000")) + 12);
    maskEdit1_->setFixedWidth(fm.horizontalAdvance(QStringLiteral("0.0000")) + 12);
    label10_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("(0000000)")));
    QSizePolicy keep = label10_->sizePolicy();
    keep.setRetainSizeWhenHidden(true); // shown with the finished preview, in its own place
    label10_->setSizePolicy(keep);
    arrowButton1_->setFixedSize(33, 33);
    arrowButton2_->setFixedSize(33, 33);
    label7_->setMinimumWidth(QFontMetrics(label7_->font()).horizontalAdvance(QStringLiteral("00.000")) + 8);
    auto group = [this](std::initializer_list<QWidget *> widgets) {
        auto *box = new QWidget(panel1_);
        auto *row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        for (QWidget *w : widgets) {
            const bool hidden = w->testAttribute(Qt::WA_WState_ExplicitShowHide) && w->isHidden();
            w->setParent(box); // which hides it
            w->setVisible(!hidden);
            row->addWidget(w, 0, Qt::AlignVCenter);
        }
        return box;
    };
    auto stacked = [this](QLabel *upper, QLabel *lower) {
        auto *box = new QWidget(panel1_);
        auto *column = new QVBoxLayout(box);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        for (QLabel *l : {upper, lower}) {
            l->setParent(box);
            l->show();
            column->addWidget(l);
        }
        return box;
    };
    const std::vector<std::vector<QWidget *>> rows = {
        {group({label4_, edit1_, label10_}), group({checkBox1_}), group({speedButton1_, bitBtn1_}),
         group({label8_, label7_})},
        {group({arrowButton1_, stacked(label2_, label9_)}), group({arrowButton2_, stacked(label1_, label3_)}),
         group({speedButton2_, speedButton3_}), group({label6_, maskEdit1_})},
    };
    constexpr int kGap = 10, kMargin = 4, kRowGap = 3;
    int natural = 0;
    for (const auto &r : rows) {
        int w = kMargin;
        for (QWidget *box : r)
            w += box->sizeHint().width() + kGap;
        natural = std::max(natural, w - kGap + kMargin);
    }
    const WindowGeometry &g = geometry_;
    const int screenClient = std::max(g.clientWidth, screen_.width() - kFrameWidth);
    const int width = std::min(std::max(g.clientWidth, natural), screenClient);
    // Wrapped rows, top to bottom.
    int y = kRowGap;
    for (const auto &r : rows) {
        int x = kMargin, rowHeight = 0;
        for (QWidget *box : r) {
            const QSize hint = box->sizeHint();
            if (x > kMargin && x + hint.width() > width - kMargin) {
                x = kMargin;
                y += rowHeight + kRowGap;
                rowHeight = 0;
            }
            box->setGeometry(x, y, std::min(hint.width(), width - 2 * kMargin), hint.height());
            x += hint.width() + kGap;
            rowHeight = std::max(rowHeight, hint.height());
        }
        y += rowHeight + kRowGap;
    }
    const int barHeight = y;
    int clientHeight = g.clientHeight;
    int imageHeight = g.image.height;
    const int room = g.clientHeight - g.panel.top;
    if (barHeight > room) {
        // Taller within the screen first, then a shorter page.
        const int grow = std::min(barHeight - room, std::max(0, screen_.height() - 27 - g.clientHeight));
        clientHeight += grow;
        imageHeight -= barHeight - room - grow;
    }
    setFixedSize(width, clientHeight);
    scrollBox1_->setGeometry(g.image.left, g.image.top, g.image.width, imageHeight);
    image1_->resize(g.image.width, imageHeight);
    const int panelTop = g.image.top + imageHeight + 3;
    panel1_->setGeometry(0, panelTop, width, clientHeight - panelTop);
}

// --- Page cache

void TRichPreviewForm::FillImagelist(PageRecording &recording)
{
    FillImagelist(recording.takePage());
}

void TRichPreviewForm::FillImagelist(const Page &page)
{
    // The next number, whatever page the user went to meanwhile.
    const int index = state_.lastPageIndex + 1;
    std::string error = cacheError_;
    const bool stored = cache_ && cache_->store(index, encodePage(page), &error);
    // The paint that follows shows this page: it need not come back from the file.
    pageCache_ = page;
    freshPage_ = index;
    if (!stored) {
        // A page that cannot be kept on disk is kept in memory: the preview still has it.
        memoryPages_[index] = page;
        if (!cacheErrorShown_) {
            // Once per preview: a full disk would otherwise ask for every page.
            cacheErrorShown_ = true;
            showError(QStringLiteral("Can not save the page information (MetaFiles): %1.\n"
                                     "The preview keeps the pages in memory.")
                          .arg(QString::fromStdString(error)));
        }
    }
    state_.lastPageIndex = index;
    if (state_.followNewest)
        state_.pageIndex = index + 1;
    nav_.refreshButtons(); // a page after the view may be there now
    applyButtons();
}

std::optional<Page> TRichPreviewForm::restorePage(int index)
{
    if (index < 0 || index > state_.lastPageIndex)
        return std::nullopt;
    freshPage_ = -1; // pageCache_ is about to hold another page
    if (auto kept = memoryPages_.find(index); kept != memoryPages_.end())
        return kept->second;
    if (!cache_)
        return std::nullopt;
    auto r = cache_->restore(index);
    if (r.status == PageCache::Status::Missing)
        return std::nullopt;
    if (r.status == PageCache::Status::Damaged)
        throw DamagedPage(r.error);
    DecodedPage d = decodePage(r.bytes);
    if (!d.ok)
        throw DamagedPage("the page file " + pageFileName(index, compressFiles_) + " is damaged: " + d.error);
    return std::move(d.page);
}

void TRichPreviewForm::showError(const QString &text)
{
    MessageRequest r;
    r.caption = QStringLiteral("Error");
    r.text = text;
    r.icon = MessageIcon::Error;
    r.buttons = MessageButtons::Ok;
    r.owner = this;
    CurrentPrompter().message(r);
}

// --- Painting

void TRichPreviewForm::Repaint()
{
    if (formatting_ && state_.followNewest) {
        // Pages come faster than a screen shows them: the newest one is drawn when the event
        // loop next gets its turn, once for all the pages that came meanwhile.
        if (!paintPending_) {
            paintPending_ = true;
            QTimer::singleShot(0, this, [this] {
                paintPending_ = false;
                if (state_.followNewest)
                    paintNow();
            });
        }
        return;
    }
    paintNow();
}

void TRichPreviewForm::paintNow()
{
    try {
        FormPaint();
    } catch (const DamagedPage &e) {
        showError(q(e.what()));
    }
    // While the pages are laid out no events are handled: each new page goes on screen now.
    if (state_.followNewest && isVisible()) {
        image1_->repaint();
        edit1_->repaint();
    }
}

void TRichPreviewForm::setFormatting(bool on, std::function<void()> cancel, std::function<void()> closing)
{
    formatting_ = on;
    cancelFormatting_ = on ? std::move(cancel) : std::function<void()>();
    closingWhileFormatting_ = on ? std::move(closing) : std::function<void()>();
}

void TRichPreviewForm::SizeImageForZoom(int which)
{
    QSize size = scrollBox1_->size();
    if (state_.zoom > 1.00001)
        size = QSize(roundEven(size.width() * state_.zoom), roundEven(size.height() * state_.zoom));
    PageImage *image = which == 1 ? image1_ : (preview2_ ? preview2_->Image1() : nullptr);
    if (!image)
        return;
    image->resize(size);
    const qreal dpr = image->devicePixelRatioF();
    if (image->bitmap.size() != size * dpr) {
        image->bitmap = QImage(size * dpr, QImage::Format_RGB32);
        image->bitmap.setDevicePixelRatio(dpr);
        image->bitmap.fill(Qt::white);
    }
}

void TRichPreviewForm::ClearPreview1()
{
    image1_->bitmap.fill(Qt::white);
}

void TRichPreviewForm::ClearPreview2()
{
    if (!preview2_)
        return;
    preview2_->Image1()->bitmap.fill(Qt::white);
    preview2_->Image1()->update();
}

void TRichPreviewForm::LabelsVisiblePreview2(bool visible)
{
    if (!preview2_)
        return;
    preview2_->Label1()->setVisible(visible);
    preview2_->Label2()->setVisible(visible);
}

void TRichPreviewForm::drawInto(PageImage *image, const Page &page, const QRect &target)
{
    QPainter painter(&image->bitmap);
    replayPage(painter, page, target);
}

void TRichPreviewForm::FormPaint()
{
    ViewState &s = state_;
    const int shown = s.followNewest ? -1 : 0; // numbers shown lag one behind while following
    const QString count = QStringLiteral("(%1)").arg(s.lastPageIndex + 1);
    // Why page k is not shown, when it is a page of the document and cannot be read.
    QString note;
    auto pageFor = [&](int k) -> std::optional<Page> {
        note.clear();
        const bool ofDocument = k >= 0 && k <= s.lastPageIndex;
        if (k >= 0 && k == freshPage_)
            return pageCache_;
        if (s.reloadPage || memoryPages_.count(k)) {
            try {
                auto page = restorePage(k);
                if (page) {
                    pageCache_ = *page;
                    return page;
                }
            } catch (const DamagedPage &e) {
                // The other pages of the view are still shown.
                showError(q(e.what()));
                note = QStringLiteral("Page %1 cannot be read").arg(k + 1);
                return std::nullopt;
            }
            if (ofDocument)
                note = QStringLiteral("Page %1 is missing").arg(k + 1);
            return std::nullopt;
        }
        // The cached page stands in, once its file is known to be there.
        if (!cache_ || !ofDocument || !cache_->has(k)) {
            if (ofDocument)
                note = QStringLiteral("Page %1 is missing").arg(k + 1);
            return std::nullopt;
        }
        return pageCache_;
    };
    // The page, or in its place a word on why it is not there.
    auto draw = [&](PageImage *image, const std::optional<Page> &page, const QRect &target) {
        if (page) {
            drawInto(image, *page, target);
            return;
        }
        QPainter painter(&image->bitmap);
        painter.fillRect(target, Qt::white);
        painter.setPen(Qt::darkRed);
        painter.drawRect(target.adjusted(0, 0, -1, -1));
        painter.drawText(target, Qt::AlignCenter | Qt::TextWordWrap, note);
    };
    if (!s.compact) {
        if (preview2_)
            LabelsVisiblePreview2(true);
        const int k = s.followNewest ? s.pageIndex - 1 : s.pageIndex;
        const auto page = pageFor(k);
        if (page || !note.isEmpty()) {
            const bool second = preview2_ && s.pageIndex % 2 == 1;
            if (!second) {
                SizeImageForZoom(1);
                ClearPreview1();
                draw(image1_, page, QRect(QPoint(0, 0), image1_->size()));
                if (!edit1_->isModified()) // not while a number is being typed
                    edit1_->setText(q(pageText(s.pageIndex + 1 + shown)));
                image1_->update();
            } else {
                SizeImageForZoom(2);
                ClearPreview2();
                draw(preview2_->Image1(), page, QRect(QPoint(0, 0), image1_->size()));
                preview2_->Label2()->setText(q(pageText(s.pageIndex + 1 + shown)));
                preview2_->Image1()->update();
            }
        }
    } else {
        const int slotCount = preview2_ ? 8 : 4;
        for (int r = 0; r < slotCount; ++r) {
            const auto page = pageFor(s.pageIndex + r + shown);
            if (!page && note.isEmpty())
                break; // past the last page
            PageImage *image = image1_;
            if (r < 4) {
                SizeImageForZoom(1);
                if (r == 0)
                    ClearPreview1();
            } else {
                SizeImageForZoom(2);
                if (r == 4)
                    ClearPreview2();
                image = preview2_->Image1();
            }
            const Rect qd = quadrant(r % 4, image->width(), image->height());
            draw(image, page, QRect(qd.left, qd.top, qd.width, qd.height));
            if (r < 4) {
                if (!edit1_->isModified())
                    edit1_->setText(q(pageText(s.pageIndex + 1 + shown)));
            } else {
                const std::string a = std::to_string(s.pageIndex + 5 + shown);
                const std::string b = std::to_string(s.pageIndex + r + 1 + shown);
                preview2_->Label2()->setText(q(a == b ? a : a + "-" + b));
            }
            image->update();
        }
    }
    if (s.lastPageIndex >= 0)
        label10_->setText(count);
    awaitingFirstPaint_ = false;
    update(); // the rulers
    if (preview2_)
        preview2_->update();
}

void TRichPreviewForm::SetupRulers(QPainter &painter, QWidget *window)
{
    if (!(PageWidth > 0) || windowTitle() != QLatin1String(kFinishedCaption))
        return;
    const bool inches = RulerUnit == TMeasureUnit::muInches;
    const QString unit = inches ? QStringLiteral("inch") : QStringLiteral("mm");
    if (window == this)
        label5_->setText(unit);
    else if (preview2_ && window == preview2_)
        preview2_->Label5()->setText(unit);
    painter.setBrush(palette().color(QPalette::Button));
    painter.setPen(QColor(128, 128, 128));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(7);
    painter.setFont(font);
    const QFontMetrics fm(font);
    // Numbers stand on the ruler's face, over the tick they name.
    auto label = [&](int x, int y, int value) {
        const QString text = QString::number(value);
        painter.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), painter.brush());
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x, y + fm.ascent()), text);
        painter.setPen(QColor(128, 128, 128));
    };
    const int t = scrollBox1_->y(), ih = image1_->height();
    painter.drawRect(0, t, 22, ih + 7);
    painter.drawLine(11, t, 11, t + ih);
    for (const RulerTick &tick : rulerTicks(PageHeight, inches, ih)) {
        painter.drawLine(5, t + tick.position, 17, t + tick.position);
        if (tick.labelled)
            label(5, t + tick.position - 5, tick.value);
    }
    const int l = scrollBox1_->x(), iw = image1_->width();
    painter.drawRect(l, 0, iw + 7, 22);
    painter.drawLine(l, 11, l + iw, 11);
    for (const RulerTick &tick : rulerTicks(PageWidth, inches, iw)) {
        painter.drawLine(l + tick.position, 5, l + tick.position, 17);
        if (tick.labelled)
            label(l + tick.position - 5, 0, tick.value);
    }
}

void TRichPreviewForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    SetupRulers(painter, this);
}

// --- Set-up, keys, closing

bool TRichPreviewForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

void TRichPreviewForm::FormActivate()
{
    setFocus();
    // The set-up of the finished preview runs once: coming back to the window later keeps the
    // page the user was on.
    if (!awaitingFirstPaint_ && !formatting_ && windowTitle() != QLatin1String(kFinishedCaption)) {
        label10_->show();
        if (!preview2_ && state_.lastPageIndex > 0) {
            const Placement p = placeWindows(screen_.width(), width() + kFrameWidth);
            move(p.left, y());
            if (p.secondWindow) {
                preview2_ = new TPreview2(this, ratioPage_, screen_);
                preview2_->show();
                preview2_->FormActivate();
                activateWindow();
                setFocus();
            }
        }
        state_.twoWindows = preview2_ != nullptr;
        setWindowTitle(QLatin1String(kFinishedCaption)); // before the paints: rulers follow
        const auto steps = nav_.finishedSetup();
        run(steps);
        label2_->setEnabled(false);
        label9_->setEnabled(false);
    }
    edit1_->setReadOnly(state_.lastPageIndex < 1);
    checkBox1_->setVisible(state_.lastPageIndex >= 1);
    if (state_.lastPageIndex >= 1)
        checkBox1_->setChecked(state_.compact);
    if (state_.lastPageIndex <= 1 && !state_.compact && preview2_) {
        state_.previousOn = state_.nextOn = false;
        applyButtons();
    }
    update();
}

void TRichPreviewForm::run(const std::vector<Step> &steps)
{
    const int kept = state_.pageIndex;
    try {
        for (const Step &step : steps) {
            switch (step.kind) {
            case StepKind::Paint:
                state_.pageIndex = step.pageIndex;
                FormPaint();
                break;
            case StepKind::ClearSecond: ClearPreview2(); break;
            case StepKind::SecondLabels: LabelsVisiblePreview2(step.visible); break;
            }
        }
    } catch (const DamagedPage &e) {
        state_.pageIndex = kept;
        applyButtons();
        showError(q(e.what()));
        return;
    }
    state_.pageIndex = kept;
    applyButtons();
}

void TRichPreviewForm::SetupPgUp(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(arrowButton2_), static_cast<QWidget *>(label1_),
                       static_cast<QWidget *>(label3_)})
        w->setEnabled(enabled);
}

void TRichPreviewForm::SetupPgDown(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(arrowButton1_), static_cast<QWidget *>(label2_),
                       static_cast<QWidget *>(label9_)})
        w->setEnabled(enabled);
}

void TRichPreviewForm::applyButtons()
{
    SetupPgUp(state_.nextOn);
    SetupPgDown(state_.previousOn);
    speedButton3_->setEnabled(state_.smallerOn);
    image1_->setToolTip(q(state_.imageHint));
    label7_->setText(q(zoomText(state_.zoom)));
}

void TRichPreviewForm::ArrowButton2Click()
{
    run(nav_.next());
}

void TRichPreviewForm::ArrowButton1Click()
{
    run(nav_.previous());
}

void TRichPreviewForm::SpeedButton2Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    run(nav_.larger());
    QApplication::restoreOverrideCursor();
}

void TRichPreviewForm::SpeedButton3Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    run(nav_.smaller());
    QApplication::restoreOverrideCursor();
}

void TRichPreviewForm::Label7DblClick()
{
    run(nav_.resetZoom(false));
}

void TRichPreviewForm::CheckBox1Click()
{
    run(nav_.setCompact(checkBox1_->isChecked()));
}

void TRichPreviewForm::Edit1KeyUp()
{
    typedPause_->stop();
    if (!edit1_->isModified())
        return;
    auto typed = nav_.typedPage(edit1_->text().toStdString());
    edit1_->setModified(false); // the paints may write the box again
    run(typed.steps);
    if (typed.editText)
        edit1_->setText(q(*typed.editText));
}

void TRichPreviewForm::FormKeyDown(QKeyEvent *event)
{
    nav_.stopFollowing();
    QScrollBar *h = scrollBox1_->horizontalScrollBar();
    QScrollBar *v = scrollBox1_->verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageUp: run(nav_.key(Key::PageUp)); break;
    case Qt::Key_PageDown: run(nav_.key(Key::PageDown)); break;
    case Qt::Key_Home: run(nav_.key(Key::Home)); break;
    case Qt::Key_End: run(nav_.key(Key::End)); break;
    case Qt::Key_Left: h->setValue(h->value() - h->singleStep()); break;
    case Qt::Key_Right: h->setValue(h->value() + h->singleStep()); break;
    case Qt::Key_Up: v->setValue(v->value() - v->singleStep()); break;
    case Qt::Key_Down: v->setValue(v->value() + v->singleStep()); break;
    default: break;
    }
}

bool TRichPreviewForm::FormKeyPress(const QString &text)
{
    if (text.size() != 1)
        return false;
    nav_.stopFollowing();
    const QChar c = text[0].toUpper();
    if (c == u'L')
        SpeedButton2Click();
    else if (c == u'S')
        SpeedButton3Click();
    else if (c == u'P')
        SpeedButton1Click();
    return false;
}

bool TRichPreviewForm::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == label7_ && e->type() == QEvent::MouseButtonDblClick) {
        Label7DblClick();
        return true;
    }
    if (e->type() == QEvent::ChildAdded) {
        // Controls added later take the window's keys too.
        if (auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(e)->child()))
            watchKeys(child);
        return QWidget::eventFilter(watched, e);
    }
    if (e->type() != QEvent::KeyPress || e == keyInDelivery_ || !watched->isWidgetType())
        return QWidget::eventFilter(watched, e);
    auto *w = static_cast<QWidget *>(watched);
    if (w->window() != this)
        return QWidget::eventFilter(watched, e);
    // The window acts on each key once, before the control it is for. The key is then handed
    // to that control here, and on to its parents as Qt would, while the window lets it pass.
    auto *k = static_cast<QKeyEvent *>(e);
    const QPointer<QWidget> target = w;
    const QPointer<TRichPreviewForm> self = this;
    if (k->key() == Qt::Key_Escape && formatting_ && cancelFormatting_) {
        auto cancel = cancelFormatting_;
        cancel();
        return true;
    }
    FormKeyDown(k);
    FormKeyPress(k->text());
    // A typed number is taken whole: on Enter, or after a pause (see typedPause_).
    if (w == edit1_ && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter))
        Edit1KeyUp();
    if (!self || !target)
        return true;
    // notify, not sendEvent: a key from the window system stays one (spontaneous).
    const QEvent *outer = std::exchange(keyInDelivery_, e);
    QCoreApplication::instance()->notify(target, e);
    // Delivered whole; Qt is not to pass it on a second time.
    e->accept();
    if (self)
        keyInDelivery_ = outer;
    return true;
}

void TRichPreviewForm::closeEvent(QCloseEvent *event)
{
    if (auto closing = std::exchange(closingWhileFormatting_, {})) {
        formatting_ = false;
        cancelFormatting_ = {};
        closing(); // nothing more comes
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    image1_->bitmap = QImage();
    pageCache_ = Page();
    freshPage_ = -1;
    if (cache_)
        cache_->close();
    if (preview2_)
        preview2_->closeWithOwner();
    QApplication::restoreOverrideCursor();
    event->accept();
}

// --- Printing from the cache

void TRichPreviewForm::SpeedButton1Click()
{
    if (busyPrinting_)
        return;
    busyPrinting_ = true;
    nav_.stopFollowing();
    const int kept = state_.pageIndex;
    state_.reloadPage = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Page index and cursor come back however printing ends.
    struct Restore {
        TRichPreviewForm *f;
        int kept;
        ~Restore()
        {
            f->state_.pageIndex = kept;
            QApplication::restoreOverrideCursor();
            f->busyPrinting_ = false;
        }
    } restore{this, kept};
    try {
        printFromCache();
    } catch (const DamagedPage &e) {
        showError(q(e.what()));
    } catch (const std::exception &e) {
        showError(q(e.what()));
    }
    // The single view showed each page as it went out; the view comes back with the index.
    if (state_.pageIndex != kept) {
        state_.pageIndex = kept;
        run(nav_.view());
    }
}

void TRichPreviewForm::setPrinter(QPrinter *printer)
{
    printer_ = printer;
    // The pages are laid out for the printer's paper as it is now.
    if (printer) {
        laidOutPaper_ = printer->pageLayout();
        laidOutDpi_ = printer->resolution();
    } else {
        laidOutPaper_.reset();
    }
}

bool TRichPreviewForm::printFromCache()
{
    const int pages = state_.lastPageIndex + 1;
    const int units = printUnits(state_.compact, pages);
    if (units < 1)
        return false;
    QPrinter *printer = printer_;
    if (!printer) {
        if (!ownPrinter_)
            ownPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = ownPrinter_.get();
    }
    // Printing starts from the paper the pages were laid out for.
    if (laidOutPaper_)
        printer->setPageLayout(*laidOutPaper_);
    std::optional<PrintRange> range;
    bool paperChosen = false; // the user opened the printer's properties, where the paper is chosen
    if (printDialog_) {
        range = printDialog_(*printer, 1, units, this);
        paperChosen = true; // whatever it set on the printer was asked for
    } else {
        // The dialog names a PDF file after the job title; the title is a full path, the
        // file is named after the document alone.
        const QString title = printer->docName();
        printer->setDocName(QFileInfo(title).completeBaseName());
        QPrintDialog dialog(printer, this);
        // A PDF file is there as a target beside the print queues.
        dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile);
        dialog.setMinMax(1, units);
        dialog.setFromTo(1, units);
        PropertiesPaper properties(&dialog, laidOutPaper_);
        const bool accepted = dialog.exec() == QDialog::Accepted;
        paperChosen = properties.opened();
        if (accepted) {
            range = dialog.printRange() == QAbstractPrintDialog::PageRange
                        ? PrintRange{dialog.fromPage(), dialog.toPage()}
                        : PrintRange{1, units};
            ServerPageChoices choices = takeServerPageChoices(*printer);
            range->set = choices.set;
            range->list = std::move(choices.list);
        }
        printer->setDocName(title);
    }
    if (!range)
        return false;
    if (laidOutPaper_ && !samePaper(printer->pageLayout(), *laidOutPaper_)) {
        // Unasked, the dialog puts the queue's own paper back; the pages keep theirs.
        if (paperChosen) {
            ShowMessageBox(QStringLiteral("$WPrint"),
                           QStringLiteral("The pages are laid out for %1, not for the paper chosen for printing, %2. "
                                          "Nothing was printed: close the preview and press \"OK\" to lay the "
                                          "document out for that paper.")
                               .arg(paperText(*laidOutPaper_), paperText(printer->pageLayout())),
                           this);
            return false;
        }
        printer->setPageLayout(*laidOutPaper_);
    }
    const int width = PrinterPageWidth > 0 ? PrinterPageWidth : printer->width();
    const int height = PrinterPageHeight > 0 ? PrinterPageHeight : printer->height();
    // Pages are drawn from the corner of the printable area they were laid out with, at the
    // resolution they were laid out at; another printer may have other least margins.
    QPointF origin(0, 0);
    double scale = 1;
    if (laidOutPaper_ && laidOutDpi_ > 0) {
        const int dpi = printer->resolution();
        scale = double(dpi) / laidOutDpi_;
        origin = QPointF(laidOutPaper_->paintRectPixels(dpi).topLeft() - printer->pageLayout().paintRectPixels(dpi).topLeft());
    }
    auto target = [&](double left, double top, double w, double h) {
        return QRectF(origin.x() + left * scale, origin.y() + top * scale, w * scale, h * scale);
    };
    // All chosen pages (or sheets) go out as one job, so that copies, collation, duplex and the
    // page order are the printer's to apply.
    QPainter painter;
    auto startSheet = [&] {
        if (painter.isActive()) {
            if (!printer->newPage())
                throw std::runtime_error("Not be able to print a new page.");
        } else if (!painter.begin(printer)) {
            throw std::runtime_error("Not be able to start the printing.");
        }
    };
    std::vector<int> chosen = chosenUnits(*range, units);
    // Qt leaves "Reverse" to the program.
    if (printer->pageOrder() == QPrinter::LastPageFirst)
        std::reverse(chosen.begin(), chosen.end());
    std::vector<PrintJob> jobs;
    for (int unit : chosen)
        for (PrintJob &job : printJobs(state_.compact, pages, unit, unit))
            jobs.push_back(std::move(job));
    for (const PrintJob &job : jobs) {
        if (!state_.compact) {
            const int p = job.parts.front().pageIndex;
            state_.pageIndex = p;
            auto page = restorePage(p); // a damaged page stops printing here, with its reason
            FormPaint();                // the preview shows the page being printed
            if (!page)
                continue; // a missing page is left out
            startSheet();
            replayPage(painter, *page, target(0, 0, width, height));
        } else {
            const int h = roundEven(height * 0.95); // the lowest twentieth stays empty
            startSheet();
            for (const PrintSlot &slot : job.parts) {
                auto page = restorePage(slot.pageIndex);
                if (!page)
                    continue;
                const Rect qd = quadrant(slot.quadrant, width, h);
                replayPage(painter, *page, target(qd.left, qd.top, qd.width, qd.height));
            }
        }
    }
    if (painter.isActive() && !painter.end())
        throw std::runtime_error("Not be able to end the printing.");
    return true;
}

// --- The second window

TPreview2::TPreview2(TRichPreviewForm *owner, double ratioPage, QSize screen)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::MSWindowsFixedSizeDialogHint),
      owner_(owner)
{
    setWindowTitle(QStringLiteral("next page(s)"));
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    const WindowGeometry g = secondWindowGeometry(screen.width(), screen.height(), ratioPage);
    setFixedSize(g.clientWidth, g.clientHeight);
    scrollBox1_ = makeScrollBox(this, image1_);
    setBounds(scrollBox1_, g.image);
    image1_->resize(g.image.width, g.image.height);
    panel1_ = new QWidget(this);
    panel1_->setAutoFillBackground(true); // covers the rulers where a zoomed page makes them run on
    panel1_->setGeometry(g.panel.left, g.panel.top, g.panel.width, g.clientHeight - g.panel.top);
    label1_ = new QLabel(QStringLiteral("Page number:"), panel1_);
    label1_->move(8, 10);
    label1_->adjustSize();
    label2_ = new QLabel(QStringLiteral("Label2"), panel1_);
    label2_->setAutoFillBackground(true);
    QPalette teal = label2_->palette();
    teal.setColor(QPalette::Window, QColor(0, 128, 128));
    teal.setColor(QPalette::WindowText, Qt::black);
    label2_->setPalette(teal);
    QFont f2 = label2_->font();
    f2.setBold(true);
    f2.setPixelSize(13);
    label2_->setFont(f2);
    label2_->setGeometry(label1_->x() + label1_->width() + 6, 8, 64, 18);
    label2_->setToolTip(QStringLiteral("Actual page number (second window)"));
    label5_ = new QLabel(this);
    QFont f5 = label5_->font();
    f5.setBold(true);
    label5_->setFont(f5);
    QPalette red = label5_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    label5_->setPalette(red);
    label5_->setGeometry(0, 0, 24, 16);
}

void TPreview2::FormActivate()
{
    const QRect frame = owner_->frameGeometry();
    move(frame.x() + frame.width(), frame.y());
    setFixedSize(owner_->size());
    scrollBox1_->setGeometry(owner_->ScrollBox1()->geometry());
    image1_->resize(owner_->Image1()->size());
    const QRect box = owner_->ScrollBox1()->geometry();
    panel1_->setGeometry(0, box.y() + box.height() + 4, box.width() + 22,
                         std::max(0, height() - box.y() - box.height() - 4));
}

bool TPreview2::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

void TPreview2::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    owner_->SetupRulers(painter, this);
}

void TPreview2::keyPressEvent(QKeyEvent *event)
{
    event->accept(); // the key does nothing here
    owner_->activateWindow();
    owner_->setFocus();
}

void TPreview2::closeEvent(QCloseEvent *event)
{
    if (closing_)
        event->accept();
    else
        event->ignore(); // the preview still draws into it
}

void TPreview2::closeWithOwner()
{
    closing_ = true;
    close();
}

} // namespace kelpa::preview
