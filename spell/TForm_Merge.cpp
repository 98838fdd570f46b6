#include "spell/TForm_Merge.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelpa::spell {

TForm_Merge::TForm_Merge(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_Merge"));
    setWindowTitle(QStringLiteral("Merging and sorting..."));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint);
    auto *layout = new QVBoxLayout(this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    Label1 = new QLabel(this);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    layout->addWidget(ProgressBar1);
    layout->addWidget(Label1);
    layout->addWidget(CancelButton, 0, Qt::AlignRight);
    connect(CancelButton, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    setMinimumWidth(242);
}

void TForm_Merge::begin(const QString &caption, const QString &label)
{
    cancelled_ = false;
    setWindowTitle(caption);
    Label1->setText(label);
    ProgressBar1->setValue(0);
}

bool TForm_Merge::step(int percent)
{
    ProgressBar1->setValue(percent);
    return !cancelled_;
}

void TForm_Merge::reject()
{
    // Esc or the window's close button ask for the work to stop; the window goes when it has.
    cancelled_ = true;
}

} // namespace kelpa::spell
