#pragma once
// The printer as the rich-text printer sees it: the device's resolution and page geometry in
// device pixels, the document calls, and a painter on the current page. QtPrinterPort puts a
// QPrinter behind it (a system queue, or a PDF file with "Print to file"); tests put a device
// of their own behind it.
#include <QPageLayout>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace kelpa::printmod {

// What the device context of a printer tells, in device pixels. Positions on the page are
// measured from the corner of the printable area.
struct DeviceMetrics {
    int dpiX = 0;           // pixels per inch, across
    int dpiY = 0;           // and down
    int physicalWidth = 0;  // the whole sheet
    int physicalHeight = 0;
    int offsetX = 0;        // from the sheet's edge to the printable area
    int offsetY = 0;
    int pageWidth = 0;      // the printable area
    int pageHeight = 0;
};

class PrinterPort {
public:
    virtual ~PrinterPort() = default;

    // False when no printer is installed: the geometry then uses fixed fallbacks.
    virtual bool available() const = 0;
    virtual DeviceMetrics metrics() const = 0;

    virtual bool printing() const = 0;
    virtual bool aborted() const = 0;
    // Document calls; false on a device error (the error text says why).
    virtual bool beginDoc() = 0;
    virtual bool newPage() = 0;
    virtual bool endDoc() = 0;
    virtual bool abortDoc() = 0;
    virtual QString errorText() const { return {}; }
    // A painter on the current page, in device pixels; only while printing.
    virtual QPainter *painter() = 0;

    virtual QPageLayout::Orientation orientation() const = 0;
    virtual void setOrientation(QPageLayout::Orientation orientation) = 0;
    virtual QString title() const = 0;
    virtual void setTitle(const QString &title) = 0;

    // The QPrinter behind the port, for the page setup and print dialogs and for the preview's
    // own printing; null for other devices.
    virtual QPrinter *printer() { return nullptr; }
};

// A QPrinter behind the port: the system's default queue at the start, or no printer when the
// system has none (then "Print to file" still works once chosen).
class QtPrinterPort : public PrinterPort {
public:
    QtPrinterPort();
    ~QtPrinterPort() override;

    bool available() const override;
    DeviceMetrics metrics() const override;
    bool printing() const override;
    bool aborted() const override;
    bool beginDoc() override;
    bool newPage() override;
    bool endDoc() override;
    bool abortDoc() override;
    QString errorText() const override { return error_; }
    QPainter *painter() override;
    QPageLayout::Orientation orientation() const override;
    void setOrientation(QPageLayout::Orientation orientation) override;
    QString title() const override;
    void setTitle(const QString &title) override;
    QPrinter *printer() override { return printer_.get(); }
    // The printer's page margins back to the least the device allows, so that its paint area
    // is the printable area (after a dialog has changed the printer or its paper).
    void useDeviceMargins();

private:
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    bool aborted_ = false;
    QString error_;
};

} // namespace kelpa::printmod
