#pragma once
// The progress window of a merge or a split: a bar, a line of text and a Cancel button.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelpa::spell {

class TForm_Merge : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Merge(QWidget *parent = nullptr);

    // Starts a merge or a split: clears the cancel request.
    void begin(const QString &caption, const QString &label);
    // Sets the bar and tells whether the work may go on (Cancel not pressed).
    bool step(int percent);
    bool cancelled() const { return cancelled_; }

    QProgressBar *ProgressBar1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void reject() override;

private:
    bool cancelled_ = false;
};

} // namespace kelpa::spell
