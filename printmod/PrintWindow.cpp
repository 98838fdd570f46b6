#include "printmod/PrintWindow.h"

#include "platform/safefile/SafeFile.h"
#include "engine/TOBRINEngine.h"
#include "platform/ProgramFolder.h"
#include "platform/Screens.h"
#include "richedit/TRichEdit.h"
#include "printmod/DocumentLoad.h"
#include "printmod/PrintSettingsFile.h"
#include "support/MessageBoxes.h"
#include "support/PasswordDialog.h"
#include "support/Prompter.h"
#include "support/Launch.h"
#include "support/StoredText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <limits>

namespace kelpa::printmod {

using engine::TOBRINEngine;
using richedit::TRichEdit;

namespace {

const QString kOpenFilter = QStringLiteral(
    "Text Files (*.txt *.rtf *.eco *.TXT *.RTF *.ECO);;Plain Text Files (*.TXT) (*.txt *.TXT);;"
    "Rich Text Files (*.RTF) (*.rtf *.RTF);;Encrypted files (*.ECO) (*.eco *.ECO);;All files (*.*) (*)");

std::optional<QString> AskDecoderPassword()
{
    if (QWidget *main = MainFormWindow())
        main->activateWindow();
    PasswordRequest request;
    request.mode = PasswordMode::Decode;
    request.clear = true;
    return CurrentPrompter().password(request);
}

std::string utf8(const QString &s)
{
    return s.toStdString();
}

} // namespace

TForm1::TForm1(const QStringList &arguments, std::unique_ptr<PrinterPort> port, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      engine_(std::make_unique<TOBRINEngine>()), arguments_(arguments)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(333, 199);
    RichPrinter1 = std::make_unique<TRichPrinter>(port ? std::move(port) : std::make_unique<QtPrinterPort>());
    RichPrinter1->SetCompressPreview(false);
    RichPrinter1->SetOptions_Dialog(poMargins);

    RichEdit1 = new TRichEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->hide();

    GroupBox3 = new QGroupBox(QStringLiteral("Header && Footer "), this);
    GroupBox3->setGeometry(8, 4, 317, 84);
    Label5 = new QLabel(QStringLiteral("Header:"), GroupBox3);
    Label5->setGeometry(10, 22, 50, 20);
    Edit_Header = new QLineEdit(GroupBox3);
    Edit_Header->setObjectName(QStringLiteral("Edit_Header"));
    Edit_Header->setGeometry(62, 20, 170, 22);
    Label6 = new QLabel(QStringLiteral("Footer:"), GroupBox3);
    Label6->setGeometry(10, 52, 50, 20);
    Edit_Footer = new QLineEdit(GroupBox3);
    Edit_Footer->setObjectName(QStringLiteral("Edit_Footer"));
    Edit_Footer->setGeometry(62, 50, 170, 22);
    Button3 = new QPushButton(QStringLiteral("Font..."), GroupBox3);
    Button3->setGeometry(240, 19, 68, 24);
    Button4 = new QPushButton(QStringLiteral("Help"), GroupBox3);
    Button4->setGeometry(240, 49, 68, 24);

    GroupBox1 = new QGroupBox(QStringLiteral("Sheet, Margins, and Orientation"), this);
    GroupBox1->setGeometry(8, 92, 210, 56);
    Button5 = new QPushButton(QStringLiteral("Page Setup..."), GroupBox1);
    Button5->setGeometry(10, 22, 110, 24);

    Button6 = new QPushButton(QStringLiteral("OK"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(228, 98, 97, 24);
    Button6->setDefault(true);
    Button7 = new QPushButton(QStringLiteral("Close"), this);
    Button7->setGeometry(228, 126, 97, 24);

    Label2 = new QLabel(QStringLiteral("Check for updates"), this);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setCursor(Qt::PointingHandCursor);
    QFont linkFont = Label2->font();
    linkFont.setUnderline(true);
    Label2->setFont(linkFont);
    setLabel2Colour(Qt::blue);
    Label2->setGeometry(0, 156, 333, 20);
    Label2->installEventFilter(this);
    Label1 = new QLabel(this);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAutoFillBackground(true);
    QPalette p1 = Label1->palette();
    p1.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xF9)); // colour value 16383999
    Label1->setPalette(p1);
    Label1->setGeometry(0, 177, 333, 22);

    connect(Edit_Header, &QLineEdit::textChanged, this, [this](const QString &t) {
        RichPrinter1->SetHeader(t);
        applyColumnFormats();
    });
    connect(Edit_Footer, &QLineEdit::textChanged, this, [this](const QString &t) {
        RichPrinter1->SetFooter(t);
        applyColumnFormats();
    });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(Button7, &QPushButton::clicked, this, [this] { close(); });

    // The exchange file is where the programs keep their own files (see keptFilesFolder).
    programDir_ = platform::keptFilesFolder();
    setWindowTitle(StoredTextString(StoredTextId::PrintModuleCaption));
    Label1->setText(windowTitle() + QStringLiteral(" v1.0 r1 ") + StoredTextString(StoredTextId::PrintModuleVersion));
    if (QFileInfo::exists(settingsFile()))
        readSettings();
    savedCaption_ = windowTitle();

    if (const QRect s = platform::cursorScreenArea(); !s.isEmpty())
        move(platform::centredIn(s, size()));
}

TForm1::~TForm1() = default;

QString TForm1::settingsFile()
{
    return platform::settingsFolder() + QStringLiteral("kpp.ini");
}

QString TForm1::HelpText()
{
    return QStringLiteral("{$TITLE} file name.\n{$PAGE} current page number.\n{$DATE} current date.\n"
                          "{$TIME} current time.\n{$LINE} current line number.\n"
                          "\n\"|\" divides a line into columns across the text width: one piece goes right, "
                          "two go left and right, three left, centre and right.\n");
}

QString ColumnFormatFor(const QString &text, double textWidth)
{
    const qsizetype pieces = TokenizeString(text).size();
    if (pieces < 2 || textWidth <= 0)
        return QStringLiteral(">100");
    // Whole thousandths, so that the columns never reach past the text area.
    const QString width = QString::number(std::floor(textWidth / double(pieces) * 1000.0) / 1000.0, 'f', 3);
    QStringList columns;
    for (qsizetype i = 0; i < pieces; ++i)
        columns << (i == 0 ? QStringLiteral("<") : i == pieces - 1 ? QStringLiteral(">") : QStringLiteral("^")) + width;
    return columns.join(QLatin1Char('|'));
}

void TForm1::applyColumnFormats()
{
    const double width = RichPrinter1->PixelsToMeasureUnitsH(RichPrinter1->PixelPrintWidth());
    RichPrinter1->SetHeaderFormat(ColumnFormatFor(RichPrinter1->Header(), width));
    RichPrinter1->SetFooterFormat(ColumnFormatFor(RichPrinter1->Footer(), width));
}

void TForm1::readSettings()
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    const PrintSettingsRead r = ReadPrintSettings(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    RichPrinter1->SetHeader(QString::fromStdString(r.header));
    RichPrinter1->SetFooter(QString::fromStdString(r.footer));

    QFont font = RichPrinter1->Font_HeaderFooter();
    std::int32_t colour = RichPrinter1->FontColor();
    font.setFamily(QString::fromStdString(r.fontName));
    if (r.fontSize) {
        if (*r.fontSize > 0)
            font.setPointSize(*r.fontSize);
        else if (*r.fontSize < 0)
            font.setPixelSize(-*r.fontSize);
    }
    if (r.fontColor)
        colour = *r.fontColor;
    if (r.addStyles & StyleBold)
        font.setBold(true);
    if (r.addStyles & StyleItalic)
        font.setItalic(true);
    if (r.addStyles & StyleUnderline)
        font.setUnderline(true);
    if (r.addStyles & StyleStrikeOut)
        font.setStrikeOut(true);
    RichPrinter1->SetFont(font, colour);

    if (r.marginTop)
        RichPrinter1->SetMarginTop(*r.marginTop);
    if (r.marginLeft)
        RichPrinter1->SetMarginLeft(*r.marginLeft);
    if (r.marginRight)
        RichPrinter1->SetMarginRight(*r.marginRight);
    if (r.marginBottom)
        RichPrinter1->SetMarginBottom(*r.marginBottom);
    if (r.portrait)
        RichPrinter1->SetOrientation(*r.portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
}

void TForm1::writeSettings()
{
    PrintSettingsValues v;
    const QFont &font = RichPrinter1->Font_HeaderFooter();
    v.version = utf8(savedCaption_);
    v.header = utf8(RichPrinter1->Header());
    v.footer = utf8(RichPrinter1->Footer());
    v.fontName = utf8(font.family());
    v.fontSize = font.pointSize() > 0 ? font.pointSize() : -font.pixelSize();
    v.fontColor = RichPrinter1->FontColor();
    v.styles = (font.bold() ? StyleBold : 0u) | (font.italic() ? StyleItalic : 0u) |
               (font.underline() ? StyleUnderline : 0u) | (font.strikeOut() ? StyleStrikeOut : 0u);
    v.portrait = RichPrinter1->Orientation() == QPageLayout::Portrait;
    v.marginTop = RichPrinter1->MarginTop();
    v.marginLeft = RichPrinter1->MarginLeft();
    v.marginRight = RichPrinter1->MarginRight();
    v.marginBottom = RichPrinter1->MarginBottom();
    const std::string bytes = WritePrintSettings(v);

    const QString name = settingsFile();
    SafeFileWriter writer(QFile::encodeName(name).toStdString());
    if (writer.isOpen() && writer.write(bytes.data(), bytes.size()) && writer.commit())
        return;
    ShowMessageBox(QStringLiteral("Error"), QStringLiteral("Cannot write the settings file %1 (%2)")
                                                .arg(QDir::toNativeSeparators(name),
                                                     QString::fromLocal8Bit(std::strerror(writer.systemError()))));
}

void TForm1::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!activated_)
        QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TForm1::FormActivate()
{
    if (activated_)
        return;
    QString path;
    if (arguments_.isEmpty() || arguments_.first().isEmpty()) {
        FileDialogRequest request;
        request.kind = FileDialogKind::Open;
        request.filter = kOpenFilter;
        request.owner = this;
        const FileDialogResult chosen = CurrentPrompter().file(request);
        if (!chosen.accepted) {
            close();
            return;
        }
        path = chosen.file();
    } else {
        path = DocumentPathArgument(arguments_);
    }

    const LoadResult loaded = LoadDocumentForPrint(path, programDir_, *engine_, *RichEdit1, AskDecoderPassword);

    QString title;
    if (IsExchangeFile(path, programDir_)) {
        title = QStringLiteral("Temporary file");
        setWindowTitle(savedCaption_);
    } else {
        title = QFileInfo(path).absoluteFilePath();
        setWindowTitle(savedCaption_ + QStringLiteral(" - ") + QFileInfo(path).fileName());
    }
    Edit_Footer->setText(RichPrinter1->Footer());
    Edit_Header->setText(RichPrinter1->Header());
    RichPrinter1->SetTitle(title);
    activated_ = true;
    if (loaded != LoadResult::Loaded)
        close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    writeSettings();
    event->accept();
}

void TForm1::reject()
{
    close();
}

void TForm1::Button3Click()
{
    FontRequest request;
    request.caption = QStringLiteral("Font");
    request.initial = RichPrinter1->Font_HeaderFooter();
    // A family that is not installed opens on the one the header and footer are printed in.
    request.initial.setFamily(QFontInfo(request.initial).family());
    request.owner = this;
    if (const std::optional<QFont> font = CurrentPrompter().font(request)) {
        RichPrinter1->SetFont(*font, RichPrinter1->FontColor());
    }
}

void TForm1::Button4Click()
{
    ShowMessage(HelpText());
}

void TForm1::Button5Click()
{
    RichPrinter1->PageDialog(this);
}

void TForm1::Button6Click()
{
    QPrinter *printer = RichPrinter1->Port().printer();
    if (!TRichPrinter::HasPreview() && printer) {
        const bool go = printDialogRunner_ ? printDialogRunner_(printer, this) : [&] {
            // The dialog names a PDF file after the job title; the title is a full path, the
            // file is named after the document alone.
            const QString title = printer->docName();
            printer->setDocName(QFileInfo(title).completeBaseName());
            QPrintDialog dialog(printer, this);
            dialog.setMinMax(1, std::numeric_limits<int>::max());
            const bool accepted = dialog.exec() == QDialog::Accepted;
            printer->setDocName(title);
            return accepted;
        }();
        if (!go)
            return;
        if (auto *qt = dynamic_cast<QtPrinterPort *>(&RichPrinter1->Port()))
            qt->useDeviceMargins();
        RichPrinter1->SetPrintedPages(printer->printRange() == QPrinter::PageRange ? printer->pageRanges()
                                                                                   : QPageRanges());
    }
    // The columns span the text width of the paper and margins chosen by now.
    applyColumnFormats();
    // The settings stay as they are until every page is laid out.
    setEnabled(false);
    QPointer<TForm1> self(this);
    RichPrinter1->StartRichEditPreview(RichEdit1, [self] {
        if (self)
            self->setEnabled(true);
    });
}

void TForm1::Label2Click()
{
    OpenStoredAddress(StoredTextString(StoredTextId::UpdatePage));
}

void TForm1::setLabel2Colour(const QColor &colour)
{
    QPalette p = Label2->palette();
    p.setColor(QPalette::WindowText, colour);
    Label2->setPalette(p);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label2) {
        if (event->type() == QEvent::MouseButtonPress) {
            setLabel2Colour(QColor(0xFF, 0xFF, 0x00)); // yellow
        } else if (event->type() == QEvent::MouseButtonRelease) {
            setLabel2Colour(QColor(0x00, 0xFF, 0x00)); // lime
            if (Label2->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
                Label2Click();
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kelpa::printmod
