#pragma once
// A printer for tests: a paint device of any resolution and page geometry that records, page
// by page, every text drawn (with its top-left corner and width in device pixels) and every line.
#include "printmod/PrinterPort.h"

#include <QFontMetrics>
#include <QLineF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <memory>
#include <vector>

namespace kelpa::test {

struct DrawnText {
    QString text;
    double left = 0;   // device pixels
    double top = 0;
    double right = 0;
    double baseline = 0;
};

struct DrawnPage {
    std::vector<DrawnText> texts;
    std::vector<QLineF> lines;
    std::vector<double> penWidths;
    std::vector<QRectF> images; // where images were drawn
    QString allText() const
    {
        QString s;
        for (const DrawnText &t : texts)
            s += t.text + u'\n';
        return s;
    }
};

class RecordingEngine : public QPaintEngine {
public:
    explicit RecordingEngine(std::vector<DrawnPage> *pages) : QPaintEngine(AllFeatures), pages_(pages) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyTransform)
            transform_ = state.transform();
        if (state.state() & DirtyPen)
            pen_ = state.pen();
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawImage(const QRectF &r, const QImage &, const QRectF &, Qt::ImageConversionFlags) override
    {
        page().images.push_back(transform_.mapRect(r));
    }
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        const QFontMetricsF fm(item.font(), paintDevice());
        const QPointF at = transform_.map(p);
        DrawnText t;
        t.text = item.text();
        t.left = at.x();
        t.baseline = at.y();
        t.top = at.y() - item.ascent();
        t.right = at.x() + item.width();
        page().texts.push_back(t);
    }
    void drawLines(const QLineF *lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            page().lines.push_back(transform_.map(lines[i]));
            page().penWidths.push_back(pen_.widthF());
        }
    }
    void drawLines(const QLine *lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            page().lines.push_back(transform_.map(QLineF(lines[i])));
            page().penWidths.push_back(pen_.widthF());
        }
    }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath &) override {}
    void drawRects(const QRectF *, int) override {}
    Type type() const override { return User; }

private:
    DrawnPage &page()
    {
        if (pages_->empty())
            pages_->emplace_back();
        return pages_->back();
    }
    std::vector<DrawnPage> *pages_;
    QTransform transform_;
    QPen pen_;
};

class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(int dpi, int width, int height) : dpi_(dpi), width_(width), height_(height), engine_(&pages) {}
    ~RecordingDevice() override = default;
    QPaintEngine *paintEngine() const override { return &engine_; }
    std::vector<DrawnPage> pages;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return width_;
        case PdmHeight: return height_;
        case PdmWidthMM: return int(width_ * 25.4 / dpi_);
        case PdmHeightMM: return int(height_ * 25.4 / dpi_);
        case PdmNumColors: return 0x7FFFFFFF;
        case PdmDepth: return 32;
        case PdmDpiX: case PdmPhysicalDpiX: return dpi_;
        case PdmDpiY: case PdmPhysicalDpiY: return dpi_;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    int dpi_, width_, height_;
    mutable RecordingEngine engine_;
};

// An A4 sheet at 600 dots per inch with 100 pixels of unprintable border on every side, unless
// other metrics are given.
inline printmod::DeviceMetrics a4At600()
{
    return {600, 600, 4961, 7016, 100, 100, 4761, 6816};
}

class FakePort : public printmod::PrinterPort {
public:
    explicit FakePort(printmod::DeviceMetrics m = a4At600(), bool available = true)
        : metrics_(m), available_(available) {}

    bool available() const override { return available_; }
    printmod::DeviceMetrics metrics() const override { return metrics_; }
    bool printing() const override { return painter_ != nullptr; }
    bool aborted() const override { return aborted_; }
    bool beginDoc() override
    {
        if (failBegin)
            return false;
        device_ = std::make_unique<RecordingDevice>(metrics_.dpiX, metrics_.pageWidth, metrics_.pageHeight);
        device_->pages.emplace_back();
        painter_ = std::make_unique<QPainter>(device_.get());
        ++jobs;
        return true;
    }
    bool newPage() override
    {
        if (!printing() || failNewPage)
            return false;
        device_->pages.emplace_back();
        return true;
    }
    bool endDoc() override
    {
        if (!printing())
            return false;
        painter_->end();
        painter_.reset();
        printed = device_->pages;
        return true;
    }
    bool abortDoc() override
    {
        aborted_ = true;
        if (painter_)
            painter_->end();
        painter_.reset();
        return true;
    }
    QPainter *painter() override { return painter_.get(); }
    QPageLayout::Orientation orientation() const override { return orientation_; }
    void setOrientation(QPageLayout::Orientation o) override { orientation_ = o; }
    QString title() const override { return title_; }
    void setTitle(const QString &t) override { title_ = t; }

    // The pages of the document being printed (while printing) or of the last one ended.
    const std::vector<DrawnPage> &pages() const { return painter_ ? device_->pages : printed; }

    std::vector<DrawnPage> printed;
    int jobs = 0;
    bool failBegin = false;
    bool failNewPage = false;

private:
    printmod::DeviceMetrics metrics_;
    bool available_;
    bool aborted_ = false;
    std::unique_ptr<RecordingDevice> device_;
    std::unique_ptr<QPainter> painter_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    QString title_;
};

} // namespace kelpa::test
