#pragma once
// The preview's side of the rich-text printer's preview run: the first page opens the preview
// window, every finished page goes into its page cache and is shown at once.
#include "printmod/RichPrinter.h"
#include "printmod/preview/TRichPreviewForm.h"

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <memory>
#include <optional>

class QPainter;

namespace kelpa::preview {

class PageRecording;

class RichPreviewPages : public QObject, public printmod::PreviewPages {
public:
    explicit RichPreviewPages(PreviewOptions options = {});
    ~RichPreviewPages() override;

    void setup(const printmod::PreviewSetup &setup) override;
    QPainter *beginPage() override;
    void finishPage(bool last) override;
    void abandon() override;

    TRichPreviewForm *form() const { return form_; }

private:
    PreviewOptions options_;
    printmod::PreviewSetup setup_;
    QPointer<TRichPreviewForm> form_;
    std::unique_ptr<PageRecording> recording_;
    std::unique_ptr<QPainter> painter_;
};

// Makes every preview run of the rich-text printer open the preview window.
void InstallRichPreview();

} // namespace kelpa::preview
