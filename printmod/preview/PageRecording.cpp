#include "printmod/preview/PageRecording.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>
#include <climits>
#include <cmath>
#include <cstring>

namespace kelpa::preview {

namespace {

std::u16string toU16(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), std::size_t(s.size()));
}

QString fromU16(const std::u16string &s)
{
    return QString(reinterpret_cast<const QChar *>(s.data()), qsizetype(s.size()));
}

// Keeps coordinates inside what the page reader accepts.
float fit(qreal v)
{
    if (!std::isfinite(v))
        return 0;
    return float(std::clamp<qreal>(v, -kMaxCoordinate, kMaxCoordinate));
}

std::uint8_t penStyleCode(Qt::PenStyle s)
{
    switch (s) {
    case Qt::NoPen: return 0;
    case Qt::DashLine: return 2;
    case Qt::DotLine: return 3;
    case Qt::DashDotLine: return 4;
    case Qt::DashDotDotLine: return 5;
    default: return 1;
    }
}

Qt::PenStyle penStyle(std::uint8_t c)
{
    static const Qt::PenStyle styles[] = {Qt::NoPen, Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                          Qt::DashDotLine, Qt::DashDotDotLine};
    return styles[c <= 5 ? c : 1];
}

} // namespace

class RecordingEngine : public QPaintEngine {
public:
    explicit RecordingEngine(Page &page) : QPaintEngine(QPaintEngine::AllFeatures), page_(page) {}

    bool begin(QPaintDevice *) override
    {
        // Each painter starts from the default state, so the page's state ops start anew.
        havePen_ = haveBrush_ = haveFont_ = false;
        transform_ = QTransform();
        pen_ = QPen();
        brush_ = QBrush();
        clipOn_ = clipSet_ = clipEnabled_ = false;
        recordedClip_ = false;
        return true;
    }
    bool end() override
    {
        if (recordedClip_) {
            Op op;
            op.type = OpType::Clip;
            page_.ops.push_back(op);
            recordedClip_ = false;
        }
        return true;
    }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState &st) override
    {
        const auto f = st.state();
        if (f & DirtyTransform)
            transform_ = st.transform();
        if (f & DirtyPen)
            pen_ = st.pen();
        if (f & DirtyBrush)
            brush_ = st.brush();
        if (f & DirtyClipEnabled)
            clipEnabled_ = st.isClipEnabled();
        if (f & (DirtyClipRegion | DirtyClipPath)) {
            QRectF r = (f & DirtyClipPath) ? st.clipPath().boundingRect()
                                           : QRectF(st.clipRegion().boundingRect());
            r = transform_.mapRect(r);
            switch (st.clipOperation()) {
            case Qt::NoClip: clipSet_ = false; break;
            case Qt::ReplaceClip: clip_ = r; clipSet_ = clipEnabled_ = true; break;
            case Qt::IntersectClip:
                clip_ = clipSet_ ? clip_.intersected(r) : r;
                clipSet_ = clipEnabled_ = true;
                break;
            }
        }
        clipOn_ = clipSet_ && clipEnabled_;
        emitClip();
    }

    void drawTextItem(const QPointF &p, const QTextItem &ti) override
    {
        const QString text = ti.text();
        if (text.isEmpty())
            return;
        QFont font = ti.font();
        const qreal scale = std::sqrt(std::fabs(transform_.determinant()));
        qreal px = font.pixelSize() > 0 ? font.pixelSize()
                                        : font.pointSizeF() * page_.dpiY / 72.0;
        px *= scale > 0 ? scale : 1;
        Op fop;
        fop.type = OpType::Font;
        fop.text = toU16(font.family());
        fop.size = float(std::clamp<qreal>(px, 0.01, 100000));
        fop.weight = std::uint16_t(std::clamp(int(font.weight()), 1, 1000));
        fop.flag = font.italic() ? 1 : 0;
        if (!haveFont_ || fop.text != font_.text || fop.size != font_.size
            || fop.weight != font_.weight || fop.flag != font_.flag) {
            font_ = fop;
            haveFont_ = true;
            page_.ops.push_back(fop);
        }
        emitPen();
        const QPointF at = transform_.map(p);
        Op op;
        op.type = OpType::Text;
        op.v[0] = fit(at.x());
        op.v[1] = fit(at.y());
        op.v[2] = fit(ti.width() * scale);
        op.text = toU16(text);
        page_.ops.push_back(std::move(op));
    }

    void drawPath(const QPainterPath &path) override
    {
        const QPainterPath mapped = transform_.map(path);
        Op op;
        op.type = OpType::Path;
        op.style = path.fillRule() == Qt::WindingFill ? 1 : 0;
        for (const QPolygonF &poly : mapped.toSubpathPolygons()) {
            op.subpaths.push_back(std::uint32_t(poly.size()));
            for (const QPointF &pt : poly) {
                op.points.push_back(fit(pt.x()));
                op.points.push_back(fit(pt.y()));
            }
        }
        emitState();
        page_.ops.push_back(std::move(op));
    }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        Op op;
        op.type = OpType::Polygon;
        op.style = mode == PolylineMode ? 2 : mode == WindingMode ? 1 : 0;
        for (int i = 0; i < count; ++i) {
            const QPointF pt = transform_.map(points[i]);
            op.points.push_back(fit(pt.x()));
            op.points.push_back(fit(pt.y()));
        }
        emitState();
        page_.ops.push_back(std::move(op));
    }
    void drawPolygon(const QPoint *points, int count, PolygonDrawMode mode) override
    {
        QPolygonF f;
        for (int i = 0; i < count; ++i)
            f << QPointF(points[i]);
        drawPolygon(f.constData(), count, mode);
    }

    void drawLines(const QLineF *lines, int count) override
    {
        emitPen();
        for (int i = 0; i < count; ++i) {
            const QLineF l = transform_.map(lines[i]);
            Op op;
            op.type = OpType::Line;
            op.v[0] = fit(l.x1());
            op.v[1] = fit(l.y1());
            op.v[2] = fit(l.x2());
            op.v[3] = fit(l.y2());
            page_.ops.push_back(op);
        }
    }
    void drawLines(const QLine *lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }

    void drawRects(const QRectF *rects, int count) override
    {
        if (transform_.type() > QTransform::TxScale) {
            for (int i = 0; i < count; ++i) {
                QPainterPath p;
                p.addRect(rects[i]);
                drawPath(p);
            }
            return;
        }
        emitState();
        for (int i = 0; i < count; ++i) {
            const QRectF r = transform_.mapRect(rects[i]);
            Op op;
            op.type = OpType::Rect;
            op.v[0] = fit(r.x());
            op.v[1] = fit(r.y());
            op.v[2] = fit(r.width());
            op.v[3] = fit(r.height());
            page_.ops.push_back(op);
        }
    }
    void drawRects(const QRect *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }

    void drawEllipse(const QRectF &r) override
    {
        QPainterPath p;
        p.addEllipse(r);
        drawPath(p);
    }

    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) override
    {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }

    void drawImage(const QRectF &r, const QImage &image, const QRectF &sr,
                   Qt::ImageConversionFlags) override
    {
        const QImage part = image.copy(sr.toAlignedRect()).convertToFormat(QImage::Format_ARGB32);
        if (part.isNull() || part.width() <= 0 || part.height() <= 0)
            return;
        const QRectF t = transform_.mapRect(r);
        Op op;
        op.type = OpType::Image;
        op.v[0] = fit(t.x());
        op.v[1] = fit(t.y());
        op.v[2] = fit(t.width());
        op.v[3] = fit(t.height());
        op.imageWidth = std::uint32_t(part.width());
        op.imageHeight = std::uint32_t(part.height());
        op.pixels.reserve(std::size_t(part.width()) * std::size_t(part.height()));
        for (int y = 0; y < part.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(part.constScanLine(y));
            op.pixels.insert(op.pixels.end(), line, line + part.width());
        }
        page_.ops.push_back(std::move(op));
    }

private:
    void emitState()
    {
        emitPen();
        emitBrush();
    }
    void emitPen()
    {
        Op op;
        op.type = OpType::Pen;
        op.color = pen_.color().rgba();
        const qreal scale = std::sqrt(std::fabs(transform_.determinant()));
        op.size = float(std::clamp<qreal>(pen_.widthF() * (pen_.isCosmetic() ? 1 : scale), 0, 1e6));
        op.style = penStyleCode(pen_.style());
        op.flag = pen_.isCosmetic() ? 1 : 0;
        if (havePen_ && op.color == penOp_.color && op.size == penOp_.size
            && op.style == penOp_.style && op.flag == penOp_.flag)
            return;
        penOp_ = op;
        havePen_ = true;
        page_.ops.push_back(op);
    }
    void emitBrush()
    {
        Op op;
        op.type = OpType::Brush;
        op.color = brush_.color().rgba();
        op.style = brush_.style() == Qt::NoBrush ? 0 : 1;
        if (haveBrush_ && op.color == brushOp_.color && op.style == brushOp_.style)
            return;
        brushOp_ = op;
        haveBrush_ = true;
        page_.ops.push_back(op);
    }
    void emitClip()
    {
        if (!clipOn_ && !recordedClip_)
            return;
        Op op;
        op.type = OpType::Clip;
        op.flag = clipOn_ ? 1 : 0;
        if (clipOn_) {
            op.v[0] = fit(clip_.x());
            op.v[1] = fit(clip_.y());
            op.v[2] = fit(clip_.width());
            op.v[3] = fit(clip_.height());
        }
        recordedClip_ = clipOn_;
        page_.ops.push_back(op);
    }

    Page &page_;
    QTransform transform_;
    QPen pen_;
    QBrush brush_;
    QRectF clip_;
    bool clipOn_ = false;      // what the drawing is clipped by: a clip that is set and enabled
    bool clipSet_ = false;
    bool clipEnabled_ = false;
    bool recordedClip_ = false;
    bool havePen_ = false, haveBrush_ = false, haveFont_ = false;
    Op penOp_, brushOp_, font_;
};

PageRecording::PageRecording(int widthPixels, int heightPixels, int dpiX, int dpiY)
{
    page_.width = std::uint32_t(std::clamp<int>(widthPixels, 1, int(kMaxPageSide)));
    page_.height = std::uint32_t(std::clamp<int>(heightPixels, 1, int(kMaxPageSide)));
    page_.dpiX = std::uint32_t(std::clamp<int>(dpiX, 1, int(kMaxDpi)));
    page_.dpiY = std::uint32_t(std::clamp<int>(dpiY, 1, int(kMaxDpi)));
    engine_ = std::make_unique<RecordingEngine>(page_);
}

PageRecording::~PageRecording() = default;

QPaintEngine *PageRecording::paintEngine() const
{
    return engine_.get();
}

Page PageRecording::takePage()
{
    Page p = page_;
    page_.ops.clear();
    return p;
}

int PageRecording::metric(PaintDeviceMetric m) const
{
    switch (m) {
    case PdmWidth: return int(page_.width);
    case PdmHeight: return int(page_.height);
    case PdmWidthMM: return int(std::lround(page_.width * 25.4 / page_.dpiX));
    case PdmHeightMM: return int(std::lround(page_.height * 25.4 / page_.dpiY));
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmPhysicalDpiX: return int(page_.dpiX);
    case PdmDpiY:
    case PdmPhysicalDpiY: return int(page_.dpiY);
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
    }
    return 0;
}

void replayPage(QPainter &painter, const Page &page, const QRectF &target)
{
    if (page.width == 0 || page.height == 0 || target.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.translate(target.topLeft());
    painter.scale(target.width() / page.width, target.height() / page.height);
    const QRectF pageRect(0, 0, page.width, page.height);
    painter.setClipRect(pageRect, Qt::IntersectClip);
    const QPaintDevice *device = painter.device();
    const qreal dpiY = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    QPen pen;
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QFont font;
    for (const Op &op : page.ops) {
        switch (op.type) {
        case OpType::Pen:
            pen = QPen(QColor::fromRgba(op.color), op.size, penStyle(op.style));
            pen.setCosmetic(op.flag != 0);
            painter.setPen(pen);
            break;
        case OpType::Brush:
            painter.setBrush(op.style ? QBrush(QColor::fromRgba(op.color)) : QBrush());
            break;
        case OpType::Font:
            font = QFont(fromU16(op.text));
            font.setPointSizeF(op.size * 72.0 / dpiY);
            font.setWeight(QFont::Weight(op.weight));
            font.setItalic(op.flag != 0);
            font.setHintingPreference(QFont::PreferNoHinting);
            painter.setFont(font);
            break;
        case OpType::Text:
            // Laid out again in page units with the same font, the run has the printer's
            // advances; only the glyphs are scaled.
            painter.drawText(QPointF(op.v[0], op.v[1]), fromU16(op.text));
            break;
        case OpType::Line:
            painter.drawLine(QLineF(op.v[0], op.v[1], op.v[2], op.v[3]));
            break;
        case OpType::Rect:
            painter.drawRect(QRectF(op.v[0], op.v[1], op.v[2], op.v[3]));
            break;
        case OpType::Polygon: {
            QPolygonF poly;
            for (std::size_t i = 0; i + 1 < op.points.size(); i += 2)
                poly << QPointF(op.points[i], op.points[i + 1]);
            if (op.style == 2)
                painter.drawPolyline(poly);
            else
                painter.drawPolygon(poly, op.style == 1 ? Qt::WindingFill : Qt::OddEvenFill);
            break;
        }
        case OpType::Path: {
            QPainterPath path;
            path.setFillRule(op.style == 1 ? Qt::WindingFill : Qt::OddEvenFill);
            std::size_t at = 0;
            for (std::uint32_t n : op.subpaths) {
                QPolygonF poly;
                for (std::uint32_t i = 0; i < n; ++i, at += 2)
                    poly << QPointF(op.points[at], op.points[at + 1]);
                path.addPolygon(poly);
            }
            painter.drawPath(path);
            break;
        }
        case OpType::Image: {
            QImage img(int(op.imageWidth), int(op.imageHeight), QImage::Format_ARGB32);
            if (img.isNull())
                break;
            for (int y = 0; y < img.height(); ++y)
                std::memcpy(img.scanLine(y), op.pixels.data() + std::size_t(y) * op.imageWidth,
                            std::size_t(op.imageWidth) * 4);
            painter.drawImage(QRectF(op.v[0], op.v[1], op.v[2], op.v[3]), img);
            break;
        }
        case OpType::Clip:
            painter.setClipRect(pageRect);
            if (op.flag)
                painter.setClipRect(QRectF(op.v[0], op.v[1], op.v[2], op.v[3]), Qt::IntersectClip);
            break;
        }
    }
    painter.restore();
}

} // namespace kelpa::preview
