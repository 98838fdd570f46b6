#include "editor/FindDialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelpa::editor {

TFindDialog::TFindDialog(bool replace, QWidget *parent) : QDialog(parent)
{
    setObjectName(replace ? QStringLiteral("ReplaceDialog1") : QStringLiteral("FindDialog1"));
    setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);
    auto *grid = new QGridLayout(this);
    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    auto *findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findLabel->setBuddy(FindEdit);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(FindEdit, 0, 1);
    int row = 1;
    if (replace) {
        ReplaceEdit = new QLineEdit(this);
        ReplaceEdit->setObjectName(QStringLiteral("ReplaceEdit"));
        auto *replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
        replaceLabel->setBuddy(ReplaceEdit);
        grid->addWidget(replaceLabel, row, 0);
        grid->addWidget(ReplaceEdit, row, 1);
        ++row;
    }
    WholeWordBox = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    MatchCaseBox = new QCheckBox(QStringLiteral("Match &case"), this);
    grid->addWidget(WholeWordBox, row++, 0, 1, 2);
    grid->addWidget(MatchCaseBox, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    auto *buttons = new QVBoxLayout;
    FindNextButton = new QPushButton(QStringLiteral("&Find Next"), this);
    FindNextButton->setDefault(true);
    buttons->addWidget(FindNextButton);
    connect(FindNextButton, &QPushButton::clicked, this, [this] {
        replaceAll_ = false;
        emit find();
    });
    if (replace) {
        ReplaceButton = new QPushButton(QStringLiteral("&Replace"), this);
        ReplaceAllButton = new QPushButton(QStringLiteral("Replace &All"), this);
        buttons->addWidget(ReplaceButton);
        buttons->addWidget(ReplaceAllButton);
        connect(ReplaceButton, &QPushButton::clicked, this, [this] {
            replaceAll_ = false;
            emit this->replace();
        });
        connect(ReplaceAllButton, &QPushButton::clicked, this, [this] {
            replaceAll_ = true;
            emit this->replace();
        });
    }
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(CancelButton);
    buttons->addStretch(1);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::hide);
    grid->addLayout(buttons, 0, 2, row + 1, 1);
    connect(FindEdit, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    updateButtons();
}

QString TFindDialog::FindText() const { return FindEdit->text(); }
void TFindDialog::SetFindText(const QString &text) { FindEdit->setText(text); }
QString TFindDialog::ReplaceText() const { return ReplaceEdit ? ReplaceEdit->text() : QString(); }
void TFindDialog::SetReplaceText(const QString &text)
{
    if (ReplaceEdit)
        ReplaceEdit->setText(text);
}
bool TFindDialog::WholeWord() const { return WholeWordBox->isChecked(); }
bool TFindDialog::MatchCase() const { return MatchCaseBox->isChecked(); }

void TFindDialog::Execute()
{
    show();
    raise();
    activateWindow();
    FindEdit->setFocus();
    FindEdit->selectAll();
}

void TFindDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    emit opened();
}

void TFindDialog::updateButtons()
{
    // Nothing to search for: the buttons that search wait for a text.
    const bool any = !FindEdit->text().isEmpty();
    FindNextButton->setEnabled(any);
    if (ReplaceButton) {
        ReplaceButton->setEnabled(any);
        ReplaceAllButton->setEnabled(any);
    }
}

} // namespace kelpa::editor
