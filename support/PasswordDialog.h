#pragma once
// The password dialog of the editor and the print module: one instance per program, created
// after the main form and reused for every question. Decode mode asks once with an explanatory
// text; encode mode asks twice and insists that both entries match.
#include <QByteArray>
#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRgb>
#include <QSize>

#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kelpa {

class TOBRINPasswordDlg : public QDialog {
    Q_OBJECT
public:
    // `maxLength`: 256 in the editor, 255 in the print module.
    explicit TOBRINPasswordDlg(QWidget *mainForm = nullptr, int maxLength = 256);
    ~TOBRINPasswordDlg() override;

    // The program's instance (the last one created and not yet destroyed), or null.
    static TOBRINPasswordDlg *instance();

    // Encode: both entries shown, the explanation hidden. Decode: the reverse.
    void setEncodeMode();
    void setDecodeMode();
    bool isEncodeMode() const;
    // Empty both entries when the dialog is next shown (the request is kept until changed).
    void setClearOnShow(bool clear);

    // Shows the dialog modally; returns the result (1 OK, 0 cancelled), as Tag() gives it.
    int ShowModal();
    int Tag() const { return tag_; }
    QString password() const;
    // The password as the bytes the document engine takes (see PasswordBytes); empty when the
    // entry holds characters no password can have, which OK refuses.
    QByteArray passwordBytes() const;
    // Windows-1252 bytes when every character is in it, else Windows-1251 ones, else nothing.
    static std::optional<QByteArray> PasswordBytes(const QString &password);
    // The warning shown when OK meets a password PasswordBytes has no bytes for.
    static constexpr char kUnusableCharacters[] =
        "This password holds characters that an encrypted document cannot keep.\n"
        "A password may use Western European letters or Cyrillic letters (not both), digits and signs.";

    // Components, by their form names.
    QLabel *OBRINLabel = nullptr;
    QFrame *Bevel1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Password = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *PasswordChk = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *Panel1 = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    // The background label's colour for a button-face colour: white gives 0xF8F8F8, else each
    // channel raised by 8 up to 255.
    static QRgb LightenedFaceColour(QRgb face);
    // Top-left corner for a dialog of `dialog` size centred on `mainForm`, kept on a screen of
    // `screen` size: not above or left of 0, bottom at least 20 pixels above the screen's
    // height, right edge within its width.
    static QPoint PlaceOnScreen(const QRect &mainForm, const QSize &dialog, const QRect &screen);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void PasswordChange();
    void OKBtnClick();
    void CancelBtnClick();

    QTimer *Timer1 = nullptr;
    QPointer<QWidget> mainForm_;
    int tag_ = 0;
    bool clearOnShow_ = false;
    // The set-up of this showing has run: a window restored from its icon keeps what was typed.
    bool setUp_ = false;
};

} // namespace kelpa
