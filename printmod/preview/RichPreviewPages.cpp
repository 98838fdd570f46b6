#include "printmod/preview/RichPreviewPages.h"

#include "printmod/preview/PageRecording.h"
#include "printmod/preview/TRichPreviewForm.h"

#include <QPainter>
#include <QTimer>

namespace kelpa::preview {

RichPreviewPages::RichPreviewPages(PreviewOptions options) : options_(std::move(options))
{
}

RichPreviewPages::~RichPreviewPages()
{
    if (painter_ && painter_->isActive())
        painter_->end();
}

void RichPreviewPages::setup(const printmod::PreviewSetup &setup)
{
    setup_ = setup;
    form_ = new TRichPreviewForm(setup.ratioPage, options_);
    // The window owns this object from now on.
    setParent(form_);
    form_->setPrinter(setup.printer);
    form_->PrinterPageWidth = setup.printerPageWidth;
    form_->PrinterPageHeight = setup.printerPageHeight;
    form_->Repaint();
    form_->RulerUnit = setup.rulerUnit == printmod::TMeasureUnit::muInches ? TMeasureUnit::muInches
                                                                           : TMeasureUnit::muMillimeters;
    form_->PageWidth = setup.pageWidth;
    form_->PageHeight = setup.pageHeight;
    form_->setFormatting(true, setup.cancel, setup.closing);
}

QPainter *RichPreviewPages::beginPage()
{
    if (!form_)
        return nullptr;
    recording_ = std::make_unique<PageRecording>(setup_.printerPageWidth, setup_.printerPageHeight,
                                                 setup_.dpiX > 0 ? setup_.dpiX : 600,
                                                 setup_.dpiY > 0 ? setup_.dpiY : 600);
    painter_ = std::make_unique<QPainter>(recording_.get());
    return painter_.get();
}

void RichPreviewPages::finishPage(bool last)
{
    if (!painter_ || !recording_)
        return;
    painter_->end();
    painter_.reset();
    if (form_) {
        form_->FillImagelist(*recording_);
        form_->Repaint();
    }
    recording_.reset();
    if (last && form_)
        form_->setFormatting(false);
    if (last && form_) {
        // The finished preview is set up as soon as the run has returned, also where the
        // window manager does not hand the new window the focus.
        QPointer<TRichPreviewForm> form = form_;
        QTimer::singleShot(0, form, [form] {
            if (!form)
                return;
            form->raise();
            form->activateWindow();
            form->FormActivate();
        });
    }
}

void RichPreviewPages::abandon()
{
    if (painter_)
        painter_->end();
    painter_.reset();
    recording_.reset();
    if (form_)
        form_->setFormatting(false);
    if (form_)
        form_->close(); // deletes the pages stored so far, and the window with this object
    else
        deleteLater();
}

void InstallRichPreview()
{
    printmod::TRichPrinter::SetPreviewFactory([] { return new RichPreviewPages(); });
}

} // namespace kelpa::preview
