#pragma once
// The two files the spell checker shares with the editor or keeps for itself: the exchange file
// "~t.dat" and the settings file "kpsc.ini". Each is read and written here and nowhere else.
#include <QString>
#include <string>
#include <string_view>

namespace kelpa::spell {

inline constexpr char SettingsFileName[] = "kpsc.ini";

struct ExchangeText {
    bool ok = false;
    std::string text;   // the document's text, up to its first NUL
    QString error;      // why it could not be read
};

// Reads `folder` + "~t.dat" with the exchange key. The file is deleted once it has been read;
// a file that cannot be read stays.
ExchangeText ReadExchangeFile(const QString &folder);
// Writes the text to `folder` + "~t.dat" with the exchange key (EC4); an old file is replaced
// only once the new one is complete. False, with the reason in `error`, on failure.
bool WriteExchangeFile(const QString &folder, std::string_view text, QString *error = nullptr);

// The "Dictionary" value of `folder` + "kpsc.ini"; empty when the file or the value is missing.
QString ReadDictionarySetting(const QString &folder);
// Writes the settings file whole: "Dictionary=<name>" or, for an empty name, an empty file.
bool WriteDictionarySetting(const QString &folder, const QString &dictionary);

} // namespace kelpa::spell
