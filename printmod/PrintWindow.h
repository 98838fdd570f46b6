#pragma once
// The print module's window: header and footer texts with their font, the page setup, and
// "OK" to lay the document out and print it. The document is read on the first activation
// into a hidden rich-text control; the settings live in "kpp.ini" in the program folder.
#include "printmod/RichPrinter.h"

#include <QDialog>
#include <QFont>

#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
namespace kelpa::engine {
class TOBRINEngine;
}
namespace kelpa::richedit {
class TRichEdit;
}

namespace kelpa::printmod {

// The column format for a header or footer text: one piece a right-aligned column of 100
// (">100"); two or more pieces, separated by "|", columns of equal width across `textWidth`
// (measure unit), the first left-aligned, the last right-aligned, those between centred.
QString ColumnFormatFor(const QString &text, double textWidth);

// A dialog window: Enter is "OK", Escape is "Close".
class TForm1 : public QDialog {
    Q_OBJECT
public:
    // `arguments`: the command line without the program name. `port`: the printer (tests give
    // their own).
    explicit TForm1(const QStringList &arguments, std::unique_ptr<PrinterPort> port = nullptr,
                    QWidget *parent = nullptr);
    ~TForm1() override;

    // Loads the document the first time only.
    void FormActivate();
    bool Activated() const { return activated_; }
    const QString &SavedCaption() const { return savedCaption_; }
    QString ProgramDir() const { return programDir_; }

    // How "OK" asks where to print while no preview is built in: the print dialog (printer or
    // PDF file, copies, pages); tests replace it. True to print.
    using PrintDialogRunner = std::function<bool(QPrinter *printer, QWidget *owner)>;
    void SetPrintDialogRunner(PrintDialogRunner runner) { printDialogRunner_ = std::move(runner); }

    // Components, by their form names.
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    richedit::TRichEdit *RichEdit1 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *Edit_Header = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *Edit_Footer = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;
    QPushButton *Button6 = nullptr;
    QPushButton *Button7 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QPushButton *Button5 = nullptr;
    std::unique_ptr<TRichPrinter> RichPrinter1;

    // Handlers, callable by tests.
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Label2Click();

    static QString HelpText();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    void readSettings();
    void writeSettings();
    void setLabel2Colour(const QColor &colour);
    void applyColumnFormats();

    bool activated_ = false;
    std::unique_ptr<engine::TOBRINEngine> engine_;
    QString programDir_;
    static QString settingsFile();
    QString savedCaption_;
    QStringList arguments_;
    PrintDialogRunner printDialogRunner_;
};

} // namespace kelpa::printmod
