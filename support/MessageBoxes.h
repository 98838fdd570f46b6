#pragma once
// Message boxes with the programs' caption conventions, the yes/no confirmation and the "Y"/"N"
// settings values. Every box goes through the current prompter (support/Prompter.h).
#include "support/Abort.h"
#include "support/Prompter.h"

#include <QString>

class QWidget;

namespace kelpa {

// The editor keeps the basic caption rules; the print module and the spell checker the
// extended ones (caption "Error" gives an error icon, a leading "&" is dropped).
enum class CaptionRules { Basic, Extended };
void SetCaptionRules(CaptionRules rules);   // once, at program start
CaptionRules CurrentCaptionRules();

struct MessageStyle {
    MessageIcon icon = MessageIcon::Information;
    QString caption;                          // as shown
};

// The icon and shown caption that the caption rules give for `caption`:
//   "$E..." error, "$W..." warning, any other "$x..." information; the caption from its third
//   character on, cut to 3200 characters. Otherwise information with the caption unchanged;
//   with the extended rules "Error" is an error box and a leading "&" is removed.
MessageStyle ResolveCaption(const QString &caption, CaptionRules rules);

// Shows `text` in a box styled by the caption rules, owned by `owner` (null: the main form).
void ShowMessageBox(const QString &caption, const QString &text, QWidget *owner = nullptr);

// The system's text for the last error (errno).
QString SystemErrorText();

// text + ".\n" + the system's text for systemError (nothing for 0, which is no error), caption
// "Error", warning icon. The caller passes the error number of the call that failed.
void ShowErrorBox(const QString &text, int systemError);

// A question with Yes and No; brings the owner to the top first. True only for Yes.
bool AskYesNo(const QString &caption, const QString &text, QWidget *owner = nullptr);
// AskYesNo("Please Confirm", text, owner).
bool ConfirmYesNo(const QString &text, QWidget *owner = nullptr);

// The class library's ShowMessage: the text with an OK button, the application's title as
// caption, no icon.
void ShowMessage(const QString &text);

// "Y" for 1, "N" for anything else.
QString BoolToYN(int value);
// "Y"/"y" true, "N"/"n" false; anything else throws Abort, so that settings readers keep their
// default for that value.
bool YNToBool(const QString &text);

} // namespace kelpa
