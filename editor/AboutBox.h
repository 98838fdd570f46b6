#pragma once
// The "Information" window of Help > About: the program's caption, the two product texts and
// the licence text, which is kept enciphered inside the program.
#include "editor/Names.h"

#include <QDialog>

class QIcon;
class QLabel;

namespace kelpa::editor {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `caption`: the main window's caption, shown at the top and put in the licence's mark.
    TAboutBox(const QString &caption, const QIcon &icon, QWidget *parent = nullptr);

    QLabel *Label = nullptr;
    QLabel *Image = nullptr;
    TRichEdit *LicenceText = nullptr;
};

} // namespace kelpa::editor
