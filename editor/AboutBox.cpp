#include "editor/AboutBox.h"

#include "editor/Licence.h"

#include "richedit/TRichEdit.h"
#include "support/StoredText.h"

#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace kelpa::editor {

namespace {
constexpr int kIconRoom = 2 + 32 + 4;
} // namespace

TAboutBox::TAboutBox(const QString &caption, const QIcon &icon, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Information"));
    setWindowTitle(QStringLiteral("Information"));
    setFixedSize(350, 300);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Label = new QLabel(this);
    Label->setObjectName(QStringLiteral("AboutLabel"));
    Label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label->setWordWrap(true);
    // The icon sits over the label's left corner: the text keeps clear of it on both sides, so
    // that it stays centred.
    Label->setContentsMargins(kIconRoom, 0, kIconRoom, 0);
    Label->setText(QStringLiteral("\n") + caption + QStringLiteral("\n") + StoredTextString(StoredTextId::ProductTextA)
                   + QStringLiteral("\nSource Code: ") + StoredTextString(StoredTextId::ProductTextB)
                   + QStringLiteral("\n"));
    layout->addWidget(Label);

    LicenceText = new TRichEdit(this);
    LicenceText->setObjectName(QStringLiteral("AboutText"));
    LicenceText->SetScrollBars(TScrollStyle::Both);
    LicenceText->LoadFromStream(QByteArray::fromStdString(licenceText(StoredTextValue(StoredTextId::LicenceKey))));
    // The first mark after the very first character stands for the caption.
    if (const qsizetype mark = captionMarkPosition(LicenceText->Text()); mark > 0) {
        LicenceText->SetSelStart(static_cast<int>(mark));
        LicenceText->SetSelLength(1);
        LicenceText->SetSelText(caption);
        LicenceText->SetSelStart(0);
    }
    LicenceText->SetModified(false);
    LicenceText->SetReadOnly(true);
    layout->addWidget(LicenceText, 1);

    // Over the label's left corner, as the label spans the whole width.
    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("AboutImage"));
    Image->setPixmap(icon.pixmap(32, 32));
    Image->setGeometry(2, 2, 32, 32);
    Image->raise();
}

} // namespace kelpa::editor
