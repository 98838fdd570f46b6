#pragma once
// The rules of documents that need neither files nor Qt: kinds, the password check, the legacy
// length limit, the line form of a text and the exchange key.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelpa::documents {

// Numbered as the editor's page kinds.
enum class DocumentKind : int { Plain = 0, Rich = 1, Encrypted = 2, Legacy = 3 };

// Whether reading could tell that the password was right. A legacy document and a block stored
// without compression decipher with any password (Unchecked); the legacy cipher sometimes
// notices a wrong one (Wrong).
enum class PasswordCheck { Confirmed, Unchecked, Wrong };

enum class Failure {
    None,
    Read,             // the file could not be read (systemError says why)
    Write,            // the file could not be written (systemError says why)
    Engine,           // the engine failed (engineCode, and systemError where a call failed)
    TooLongForLegacy, // the text is too long for a legacy document
    NotAFile,         // the name is a pipe, a device or a socket, which is neither read nor written
    UntrustedLink,    // the name is a link another user may have put there; it is not followed
};

// A legacy document announces its length in seven decimal digits: it holds at most this many
// bytes of text.
inline constexpr std::size_t LegacyTextLimit = 9'999'999;

// The exchange file's three-character key, in the engine's form (Windows-1252).
inline constexpr std::string_view ExchangeKeyBytes = "%\xA4k";
inline constexpr std::string_view ExchangeFileName = "~t.dat";

// The text split into lines, each ended by CR LF (CR, LF and CR LF all end a line), as a
// string list hands it on.
std::string asLines(std::string_view bytes);

// The line end of a plain file, kept when it is saved: scripts and diffs take LF alone. A file
// whose first line ends in a lone LF is an LF file; any other (CR LF, CR, no line end at all,
// a new page) is written with CR LF.
enum class LineEnd { CrLf, Lf };
LineEnd lineEndOf(std::string_view bytes);
// Text whose lines end in CR LF (as asLines gives it) with every CR LF made `lineEnd`.
std::string withLineEnd(std::string_view crLfText, LineEnd lineEnd);
// The same for LF, in place (a page of hundreds of megabytes has no room for a copy); returns
// the text's new size.
std::size_t toLfInPlace(char *crLfText, std::size_t size);

// What a deciphered text tells about its password; compressionId: the block's, as the engine
// read it (ignored for legacy documents).
PasswordCheck passwordCheck(DocumentKind kind, std::uint8_t compressionId, std::string_view text);

// True when a legacy document can hold the text (up to its first 0 byte, as the engine takes it).
bool fitsLegacy(std::string_view text);

} // namespace kelpa::documents
