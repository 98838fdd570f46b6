#pragma once
// The editor's settings file "Kelpa.ini" as Qt text: lines of a name, an equals sign and a value
// (UTF-8). Values are read one by one, each with its own default; the file is written back whole,
// through a temporary file.
//
//   NameValueLines lines = readNameValueFile(folder + "Kelpa.ini");   // missing: no lines
//   QString name = lines.value("DefaultFontName").value_or(QString());
//   lines.set("DefaultFontName", name);
//   if (const int error = writeNameValueFile(folder + "Kelpa.ini", lines)) ShowErrorBox(..., error);
#include "support/settings/SettingsText.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelpa {

// The parsed lines of a name=value file as UTF-8 text; lookup as a string list's Values does it:
// the first line whose part before the first "=" equals the name without regard to case (any
// letter, not only ASCII). Lines end at LF; a line without "=" names an empty value.
class NameValueLines {
public:
    NameValueLines();
    static NameValueLines parse(const QByteArray &bytes);
    // Nothing when no line carries the name.
    std::optional<QString> value(const QString &name) const;
    void set(const QString &name, const QString &value);
    QByteArray toBytes() const; // one "name=value" CR LF per line
    bool isEmpty() const { return text_.isEmpty(); }

private:
    SettingsText text_;
};

// A decimal integer as a settings file holds it: blanks around, an optional sign and digits;
// nothing for any other text or a number outside int.
std::optional<int> parseDecimal(const QString &text);
// "Y"/"y" true, "N"/"n" false, nothing for any other text or no text.
std::optional<bool> parseYN(const std::optional<QString> &text);
QString yn(bool value);

// The lines of a settings file; a missing or unreadable file has none (every value keeps its
// default). `systemError`, when given, takes the reason a file that is there could not be read
// (0 when it was read or is missing).
NameValueLines readNameValueFile(const QString &fileName, int *systemError = nullptr);
// Writes the lines through a temporary file renamed over the old one. 0 on success, else the
// system's error number (the old file is then as it was).
int writeNameValueFile(const QString &fileName, const NameValueLines &lines);

} // namespace kelpa
