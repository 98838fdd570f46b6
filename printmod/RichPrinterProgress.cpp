// The progress window of a print or preview run.
#include "printmod/RichPrinter.h"

#include "support/SteppedRun.h"

#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace kelpa::printmod {

void TRichPrinter::updateProgressDlg(const QString &status)
{
    if (!(showProgress_ && (port_->printing() || previewMode_)) || previewAborted_) {
        closeProgress();
        return;
    }
    if (!progress_) {
        progress_ = std::make_unique<QDialog>(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                                           Qt::WindowTitleHint);
        progress_->setObjectName(QStringLiteral("RichPrntProgDlg"));
        progress_->setWindowTitle(QStringLiteral("Print Progress"));
        // Below the framed texts, a preview run has its Cancel (Escape too).
        const bool cancellable = stepping_;
        const int height = cancellable ? 119 : 85;
        progress_->setFixedSize(284, height);
        auto *bevel = new QFrame(progress_.get());
        bevel->setFrameShape(QFrame::Box);
        bevel->setFrameShadow(QFrame::Sunken);
        bevel->setGeometry(8, 8, 268, 69);
        lblStatus_ = new QLabel(progress_.get());
        lblStatus_->setObjectName(QStringLiteral("lblStatus"));
        lblStatus_->setGeometry(16, 14, 252, 16);
        lblTitle_ = new QLabel(progress_.get());
        lblTitle_->setObjectName(QStringLiteral("lblTitle"));
        lblTitle_->setGeometry(16, 32, 252, 16);
        auto *desc = new QLabel(QStringLiteral("Page Number:"), progress_.get());
        desc->setGeometry(16, 52, 90, 16);
        lblPageNumber_ = new QLabel(progress_.get());
        lblPageNumber_->setObjectName(QStringLiteral("lblPageNumber"));
        lblPageNumber_->setGeometry(110, 52, 150, 16);
        if (cancellable) {
            auto *cancel = new QPushButton(QStringLiteral("Cancel"), progress_.get());
            cancel->setObjectName(QStringLiteral("btnCancel"));
            cancel->setGeometry(196, 85, 80, 26);
            cancel->setDefault(true);
            // Queued: the window goes with the run, not inside its own signal.
            QObject::connect(cancel, &QPushButton::clicked, steps_.get(), [this] { CancelPreview(); },
                             Qt::QueuedConnection);
            QObject::connect(progress_.get(), &QDialog::rejected, steps_.get(), [this] { CancelPreview(); },
                             Qt::QueuedConnection);
        }
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->availableGeometry();
            progress_->move(s.left() + (s.width() - 284) / 2, s.top() + (s.height() - height) / 2);
        }
    }
    if (!progress_->isVisible())
        progress_->show();
    if (!status.isEmpty())
        lblStatus_->setText(status);
    lblTitle_->setText(Title());
    lblPageNumber_->setText(QString::number(pageNumber_));
    // A run in steps is painted by the event loop between its slices.
    if (stepping_)
        progress_->update();
    else
        progress_->repaint();
}

void TRichPrinter::closeProgress()
{
    if (!progress_)
        return;
    progress_->close();
    progress_.reset();
    lblStatus_ = lblTitle_ = lblPageNumber_ = nullptr;
}

QDialog *TRichPrinter::ProgressWindow() const
{
    return progress_.get();
}

} // namespace kelpa::printmod
