#pragma once
// What the editor and the spell checker agree on: the exchange file and its key, the window
// messages between them, the transfer codes and the launch token.
#include "platform/WindowMessages.h"
#include "support/StoredText.h"
#include "support/documents/DocumentCore.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelpa {

// Editor to checker: a text to check is ready; checker to editor: the corrected text is ready.
inline constexpr std::uint32_t WM_CHECKTEXT = platform::WM_USER + 100;
// Editor to checker: close; checker to editor: the check ended without a result.
inline constexpr std::uint32_t WM_CLOSECHECKER = platform::WM_USER + 110;

// The exchange file in the program folder, and its password on the spell-check path, both
// directions ("%¤k" in the Windows code page).
using documents::ExchangeFileName;
inline constexpr std::string_view ExchangeKey = documents::ExchangeKeyBytes;

// lParam of WM_CHECKTEXT from the editor.
enum TransferCode : std::int64_t {
    TransferExchangeFile = 1,   // the whole page is in the exchange file
    TransferClipboard = 2,      // the selection is on the clipboard
    TransferPlainText = 1000,   // added for a plain-text page
};

// How each program finds the other.
inline const QString SpellCheckerWindowClass = QStringLiteral("TKelpaSpellChecker");
inline const QString EditorApplicationClass = QStringLiteral("TApplication");
inline const QString EditorApplicationTitle = QStringLiteral("Kelpa");

// The one argument with which the editor starts the spell checker (kept scrambled).
inline std::string LaunchToken()
{
    return StoredTextValue(StoredTextId::LaunchToken);
}

} // namespace kelpa
