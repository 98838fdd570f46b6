#pragma once
// The modeless find and replace dialogs: they hold the search text and options and tell the
// window which button was pressed; the searching is the window's.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kelpa::editor {

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    // `replace`: the replace dialog, with its replace text and buttons.
    TFindDialog(bool replace, QWidget *parent);

    QString FindText() const;
    void SetFindText(const QString &text);
    QString ReplaceText() const;
    void SetReplaceText(const QString &text);
    bool WholeWord() const;
    bool MatchCase() const;
    // The last button was "Replace All".
    bool ReplaceAll() const { return replaceAll_; }
    // Shows the dialog (modeless) or raises it when it is up.
    void Execute();
    void CloseDialog() { hide(); }

    QLineEdit *FindEdit = nullptr;
    QLineEdit *ReplaceEdit = nullptr;
    QCheckBox *WholeWordBox = nullptr;
    QCheckBox *MatchCaseBox = nullptr;
    QPushButton *FindNextButton = nullptr;
    QPushButton *ReplaceButton = nullptr;
    QPushButton *ReplaceAllButton = nullptr;
    QPushButton *CancelButton = nullptr;

signals:
    void find();
    void replace();
    void opened();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateButtons();
    bool replaceAll_ = false;
};

} // namespace kelpa::editor
