#pragma once
// A paint device that records what is drawn on it as a preview page, and the replay of such a
// page onto any painter. The layout draws a page on a recording exactly as it would on the
// printer (same size in printer pixels, same resolution), so the recorded page holds the
// printer's line breaks and positions; replaying it only scales.
#include "printmod/preview/core/PageFile.h"

#include <QPaintDevice>
#include <QRectF>
#include <memory>

class QPainter;

namespace kelpa::preview {

class RecordingEngine;

class PageRecording : public QPaintDevice {
public:
    PageRecording(int widthPixels, int heightPixels, int dpiX, int dpiY);
    ~PageRecording() override;
    PageRecording(const PageRecording &) = delete;
    PageRecording &operator=(const PageRecording &) = delete;

    QPaintEngine *paintEngine() const override;
    // The page drawn so far; the recording starts empty again.
    Page takePage();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    Page page_;
    std::unique_ptr<RecordingEngine> engine_;
};

// Draws `page` scaled into `target` of the painter's device, clipped to the page.
void replayPage(QPainter &painter, const Page &page, const QRectF &target);

} // namespace kelpa::preview
