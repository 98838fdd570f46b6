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

// The line form of a plain file, kept when it is saved, so that a page saved unedited gives the
// file's own bytes back. A new page, and a file with no line end at all, take LF, the
// platform's line end.
enum class LineEnd { CrLf, Lf, Cr };
enum class FinalLineEnd {
    Present,   // the last line ends in a line end (a file of one line end: one empty line)
    Absent,    // the last line has none
    AfterText, // a new page: a line end after a last line that holds text
};
struct LineForm {
    LineEnd lineEnd = LineEnd::Lf; // the file's most common line end
    FinalLineEnd finalLineEnd = FinalLineEnd::AfterText;
    bool operator==(const LineForm &) const = default;
};
LineForm lineFormOf(std::string_view bytes);
// Whether a page holding these bytes, written in `form`, gives them back: every line end is the
// form's own, and no character that a page holds as a line break (a vertical tab; U+2028 and
// U+2029 when the bytes are UTF-8) is in the text.
bool keepsBytes(std::string_view bytes, const LineForm &form, bool utf8);
// A page's lines, each ended by CR LF as a page writes them (the last may have none: an empty
// page), written in `form`.
std::string withLineForm(std::string_view crLfText, const LineForm &form);
// The same in place, where the text only shrinks (a page of hundreds of megabytes has no room
// for a copy); returns the text's new size, and in `append` the line end still to be added (an
// empty page whose file was one line end), else nothing.
std::size_t toLineFormInPlace(char *crLfText, std::size_t size, const LineForm &form, std::string_view &append);
// The page's lines (as for withLineForm) written over the file's bytes, where those cannot come
// back from the form alone (keepsBytes is false): the lines before and after the edited ones keep
// the file's own line ends and characters; the edited lines take the form's line end.
std::string mergeLineEnds(std::string_view fileBytes, std::string_view crLfText, const LineForm &form, bool utf8);

// What a deciphered text tells about its password; compressionId: the block's, as the engine
// read it (ignored for legacy documents).
PasswordCheck passwordCheck(DocumentKind kind, std::uint8_t compressionId, std::string_view text);

// True when a legacy document can hold the text (up to its first 0 byte, as the engine takes it).
bool fitsLegacy(std::string_view text);

} // namespace kelpa::documents
