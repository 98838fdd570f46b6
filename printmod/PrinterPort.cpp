#include "printmod/PrinterPort.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace kelpa::printmod {

QtPrinterPort::QtPrinterPort() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (!def.isNull())
        printer_->setPrinterName(def.printerName());
    else if (!QPrinterInfo::availablePrinters().isEmpty())
        printer_->setPrinterName(QPrinterInfo::availablePrinters().first().printerName());
    useDeviceMargins();
}

void QtPrinterPort::useDeviceMargins()
{
    QPageLayout layout = printer_->pageLayout();
    layout.setMargins(layout.minimumMargins());
    printer_->setPageLayout(layout);
}

QtPrinterPort::~QtPrinterPort()
{
    if (painter_ && painter_->isActive())
        painter_->end();
}

bool QtPrinterPort::available() const
{
    return printer_->isValid() && (printer_->outputFormat() == QPrinter::PdfFormat ||
                                   !printer_->printerName().isEmpty());
}

DeviceMetrics QtPrinterPort::metrics() const
{
    DeviceMetrics m;
    const int dpi = printer_->resolution();
    m.dpiX = dpi;
    m.dpiY = dpi;
    const QPageLayout layout = printer_->pageLayout();
    const QRect full = layout.fullRectPixels(dpi);
    const QRect paint = layout.paintRectPixels(dpi);
    m.physicalWidth = full.width();
    m.physicalHeight = full.height();
    m.offsetX = paint.left();
    m.offsetY = paint.top();
    m.pageWidth = paint.width();
    m.pageHeight = paint.height();
    return m;
}

bool QtPrinterPort::printing() const
{
    return painter_ && painter_->isActive();
}

bool QtPrinterPort::aborted() const
{
    return aborted_;
}

bool QtPrinterPort::beginDoc()
{
    aborted_ = false;
    error_.clear();
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        error_ = printer_->outputFormat() == QPrinter::PdfFormat
                     ? QStringLiteral("Cannot write the file %1").arg(printer_->outputFileName())
                     : QStringLiteral("The printer %1 does not accept the job").arg(printer_->printerName());
        return false;
    }
    return true;
}

bool QtPrinterPort::newPage()
{
    return printing() && printer_->newPage();
}

bool QtPrinterPort::endDoc()
{
    if (!printing())
        return false;
    const bool ok = painter_->end();
    painter_.reset();
    return ok;
}

bool QtPrinterPort::abortDoc()
{
    if (!printing())
        return false;
    printer_->abort();
    aborted_ = true;
    painter_->end();
    painter_.reset();
    return true;
}

QPainter *QtPrinterPort::painter()
{
    return printing() ? painter_.get() : nullptr;
}

QPageLayout::Orientation QtPrinterPort::orientation() const
{
    return printer_->pageLayout().orientation();
}

void QtPrinterPort::setOrientation(QPageLayout::Orientation orientation)
{
    printer_->setPageOrientation(orientation);
}

QString QtPrinterPort::title() const
{
    return printer_->docName();
}

void QtPrinterPort::setTitle(const QString &title)
{
    printer_->setDocName(title);
}

} // namespace kelpa::printmod
