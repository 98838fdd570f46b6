#include "support/PasswordDialog.h"

#include "platform/codepage/CodePage.h"
#include "support/MessageBoxes.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QGuiApplication>
#include <QTimer>

namespace kelpa {

namespace {

TOBRINPasswordDlg *theInstance = nullptr;

constexpr int clientWidth = 264;
constexpr int clientHeight = 163;

QPixmap padlock()
{
    QPixmap pixmap(40, 40);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(11, 4, 18, 22), 0, 180 * 16);
    p.drawLine(QPointF(11, 15), QPointF(11, 20));
    p.drawLine(QPointF(29, 15), QPointF(29, 20));
    p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1));
    p.setBrush(QColor(0xE0, 0xB0, 0x30));
    p.drawRoundedRect(QRectF(5, 18, 30, 20), 3, 3);
    p.setBrush(QColor(0x40, 0x30, 0x10));
    p.drawEllipse(QRectF(17, 23, 6, 6));
    p.drawRect(QRectF(19, 27, 2, 6));
    return pixmap;
}

} // namespace

TOBRINPasswordDlg::TOBRINPasswordDlg(QWidget *mainForm, int maxLength)
    : QDialog(mainForm, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      mainForm_(mainForm)
{
    setObjectName(QStringLiteral("OBRINPasswordDlg"));
    setModal(true);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(clientWidth, clientHeight);

    // The large faint "ECO" sits behind everything else.
    OBRINLabel = new QLabel(QStringLiteral("ECO"), this);
    QFont big(QStringLiteral("Arial"));
    big.setPixelSize(160);
    big.setBold(true);
    big.setItalic(true);
    OBRINLabel->setFont(big);
    OBRINLabel->setAlignment(Qt::AlignCenter);
    OBRINLabel->setGeometry(0, -10, clientWidth, clientHeight - 20);
    OBRINLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(6, 6, clientWidth - 12, clientHeight - 52);
    Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);

    Image1 = new QLabel(this);
    Image1->setGeometry(14, 16, 40, 40);
    Image1->setPixmap(padlock());

    Password = new QLineEdit(this);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    Password->setMaxLength(maxLength);
    Password->setGeometry(66, 30, 184, 21);

    PasswordChk = new QLineEdit(this);
    PasswordChk->setObjectName(QStringLiteral("PasswordChk"));
    PasswordChk->setEchoMode(QLineEdit::Password);
    PasswordChk->setMaxLength(maxLength);
    PasswordChk->setGeometry(66, 76, 184, 21);

    Label1 = new QLabel(this);
    Label1->setBuddy(Password);
    Label1->setGeometry(66, 12, 184, 16);
    Label2 = new QLabel(this);
    Label2->setBuddy(PasswordChk);
    Label2->setGeometry(66, 58, 184, 16);
    Label3 = new QLabel(this);
    Label3->setWordWrap(true);
    Label3->setGeometry(66, 56, 184, 44);
    Label3->hide();

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setGeometry(0, clientHeight - 40, clientWidth, 40);
    OKBtn = new QPushButton(Panel1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(8, 8, 110, 25);
    OKBtn->setAutoDefault(false);
    CancelBtn = new QPushButton(Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(clientWidth - 118, 8, 110, 25);
    CancelBtn->setAutoDefault(false);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);

    connect(Password, &QLineEdit::textChanged, this, Guarded([this](const QString &) { PasswordChange(); }));
    connect(OKBtn, &QPushButton::clicked, this, Guarded([this] { OKBtnClick(); }));
    connect(CancelBtn, &QPushButton::clicked, this, Guarded([this] { CancelBtnClick(); }));
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    Password->installEventFilter(this);
    PasswordChk->installEventFilter(this);

    FormCreate();
    theInstance = this;
}

TOBRINPasswordDlg::~TOBRINPasswordDlg()
{
    if (theInstance == this)
        theInstance = nullptr;
}

TOBRINPasswordDlg *TOBRINPasswordDlg::instance()
{
    return theInstance;
}

QRgb TOBRINPasswordDlg::LightenedFaceColour(QRgb face)
{
    face &= 0xFFFFFF;
    if (face == 0xFFFFFF)
        return qRgb(0xF8, 0xF8, 0xF8);
    const auto up = [](int c) { return std::min(c + 8, 255); };
    return qRgb(up(qRed(face)), up(qGreen(face)), up(qBlue(face)));
}

QPoint TOBRINPasswordDlg::PlaceOnScreen(const QRect &mainForm, const QSize &dialog,
                                        const QRect &screen)
{
    // Kept inside the main form's own screen, wherever that screen lies on the desktop.
    int top = mainForm.top() + mainForm.height() / 2 - dialog.height() / 2;
    int left = mainForm.left() + mainForm.width() / 2 - dialog.width() / 2;
    if (top < screen.top())
        top = screen.top();
    if (left < screen.left())
        left = screen.left();
    if (top + dialog.height() > screen.top() + screen.height() - 20)
        top = screen.top() + screen.height() - 20 - dialog.height();
    if (left + dialog.width() > screen.left() + screen.width())
        left = screen.left() + screen.width() - dialog.width();
    return {left, top};
}

void TOBRINPasswordDlg::setEncodeMode()
{
    Label3->hide();
    Label2->show();
    PasswordChk->show();
}

void TOBRINPasswordDlg::setDecodeMode()
{
    Label2->hide();
    PasswordChk->hide();
    Label3->show();
}

bool TOBRINPasswordDlg::isEncodeMode() const
{
    return !PasswordChk->isHidden();
}

void TOBRINPasswordDlg::setClearOnShow(bool clear)
{
    clearOnShow_ = clear;
}

int TOBRINPasswordDlg::ShowModal()
{
    exec();
    return tag_;
}

QString TOBRINPasswordDlg::password() const
{
    return Password->text();
}

std::optional<QByteArray> TOBRINPasswordDlg::PasswordBytes(const QString &password)
{
    const std::optional<std::string> bytes = codepage::encodePassword(
        std::u16string_view(reinterpret_cast<const char16_t *>(password.utf16()),
                            static_cast<std::size_t>(password.size())));
    if (!bytes)
        return std::nullopt;
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

QByteArray TOBRINPasswordDlg::passwordBytes() const
{
    return PasswordBytes(Password->text()).value_or(QByteArray());
}

void TOBRINPasswordDlg::FormCreate()
{
    QPalette pal = OBRINLabel->palette();
    const QRgb face = palette().color(QPalette::Button).rgb();
    pal.setColor(QPalette::WindowText, QColor(LightenedFaceColour(face)));
    OBRINLabel->setPalette(pal);
}

void TOBRINPasswordDlg::FormShow()
{
    setWindowTitle(QStringLiteral("ECO file password"));
    Label1->setText(QStringLiteral("&Enter password:"));
    Label2->setText(QStringLiteral("&Re-enter password:"));
    Label3->setText(QStringLiteral("Please, enter decoder password for this encrypted file"));
    OKBtn->setText(QStringLiteral("OK"));
    CancelBtn->setText(QStringLiteral("Cancel"));

    QWidget *main = mainForm_ ? mainForm_.data() : MainFormWindow();
    if (main && main != this) {
        // The screen that holds the main form's centre; several screens make one desktop.
        const QScreen *s = QGuiApplication::screenAt(main->frameGeometry().center());
        if (!s)
            s = main->screen() ? main->screen() : screen();
        const QRect screenArea = s ? s->geometry() : QRect(0, 0, 1024, 768);
        move(PlaceOnScreen(main->frameGeometry(), frameGeometry().size(), screenArea));
    }
    if (clearOnShow_) {
        Password->clear();
        PasswordChk->clear();
    }
    PasswordChange();
    tag_ = 0;
    Password->setFocus();
    Timer1->start();
}

void TOBRINPasswordDlg::Timer1Timer()
{
    Timer1->stop();
    raise();
    activateWindow();
    Password->setFocus();
    Password->setCursorPosition(Password->text().size());
}

void TOBRINPasswordDlg::PasswordChange()
{
    OKBtn->setEnabled(!Password->text().isEmpty());
}

void TOBRINPasswordDlg::OKBtnClick()
{
    // A character replaced on the way to the engine would make another password of it.
    if (!PasswordBytes(Password->text())) {
        ShowMessageBox(QStringLiteral("$WOBRIN"), QString::fromUtf8(kUnusableCharacters), this);
        tag_ = 0;
        Password->setFocus();
        return;
    }
    if (PasswordChk->isHidden() || Password->text() == PasswordChk->text()) {
        tag_ = 1;
        accept();
        return;
    }
    ShowMessageBox(QStringLiteral("$WOBRIN"), QStringLiteral("The two entries don't match."), this);
    tag_ = 0;
    Password->setFocus();
}

void TOBRINPasswordDlg::CancelBtnClick()
{
    tag_ = 0;
    QDialog::reject();
}

void TOBRINPasswordDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (setUp_)
        return;
    setUp_ = true;
    RunGuarded([this] { FormShow(); });
}

void TOBRINPasswordDlg::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // Minimising hides the window too; only a real close ends the showing.
    if (!event->spontaneous() && !isMinimized())
        setUp_ = false;
}

void TOBRINPasswordDlg::closeEvent(QCloseEvent *event)
{
    if (isVisible())
        tag_ = 0;
    QDialog::closeEvent(event);
}

void TOBRINPasswordDlg::reject()
{
    CancelBtnClick();
}

bool TOBRINPasswordDlg::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Password || watched == PasswordChk) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (OKBtn->isEnabled())
                RunGuarded([this] { OKBtnClick(); });
            return true;
        }
        if (key == Qt::Key_Escape) {
            RunGuarded([this] { CancelBtnClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kelpa
