#pragma once
// Reading the document to print into the window's hidden rich-text control: plain and rich
// files, encrypted documents (with the password asked for), the editor's exchange file with the
// dated exchange password, and password-list documents. Every failure is told to the user here.
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kelpa::engine {
class TOBRINEngine;
}
namespace kelpa::richedit {
class TRichEdit;
}

namespace kelpa::printmod {

// The arguments (without the program name) joined with single blanks up to the first empty
// one: an unquoted path with blanks comes through whole.
QString DocumentPathArgument(const QStringList &arguments);

// Whether `path` is this program folder's exchange file "~t.dat" (compared after resolving
// links and "..", with case).
bool IsExchangeFile(const QString &path, const QString &programDir);

enum class LoadResult { Loaded, Cancelled, Failed };

// Asks for the password of an encrypted document; nothing when the user cancelled.
using PasswordAsker = std::function<std::optional<QString>()>;

LoadResult LoadDocumentForPrint(const QString &path, const QString &programDir, engine::TOBRINEngine &engine,
                                richedit::TRichEdit &edit, const PasswordAsker &askPassword,
                                const QDate &today = QDate::currentDate());

} // namespace kelpa::printmod
