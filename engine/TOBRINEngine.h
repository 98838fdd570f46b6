#pragma once
// Encrypted and compressed documents (".eco"): five header lines, then one block (an 8-byte
// head and a compressed, enciphered payload), or for version "3.0" and below legacy cipher text.
//
// Every operation returns true or false and leaves its code in ErrorCode; nothing is shown and
// nothing is thrown. Passwords are byte strings; file names are UTF-8 paths.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::engine {

enum EngineErrorCode : std::int32_t {
    EC_AllOk = 0,
    EC_SupVer = 1,        // version above "5.0" or block format byte above '3'
    EC_UnknData = 2,      // set by no operation; the text exists for callers
    EC_NoPwd = 3,
    EC_PwdTooLong = 4,
    EC_NoAlg = 5,         // unknown cipher id
    EC_NoAlgImp = 6,      // version below "2.3"
    EC_FOpen = 7,
    EC_MAlloc = 8,
    EC_BadFile = 9,       // short or damaged file, failed write
    EC_NonOBRIN = 10,     // not the magic
    EC_NoCompAlg = 11,    // unknown compression id
    EC_Compression = 10000, // + the byte coder's own code
};

class TOBRINEngine {
public:
    static constexpr std::uint8_t CipherLegacy = 'g';
    static constexpr std::uint8_t CipherEC4 = 'h';
    static constexpr std::uint8_t CipherBlowfish = 0xBE;
    static constexpr std::uint8_t CipherXor = 0xC0;
    static constexpr std::uint8_t CompressionCoder = 'z';
    static constexpr std::uint8_t CompressionStored = 'd';
    static constexpr std::size_t MaxPasswordLength = 256;
    static constexpr std::size_t BlockHeadSize = 8;
    // The longest text a legacy document holds: its length is written in seven digits.
    static constexpr std::size_t LegacyTextLimit = 9'999'999;

    TOBRINEngine() = default;

    // Writes data as a document with CipherId and CompressionId. The previous file is replaced
    // only once the new one is completely written. A legacy text longer than LegacyTextLimit
    // is refused (EC_BadFile) before anything is written.
    bool SaveToFile(std::string_view password, const std::string &fileName,
        const std::uint8_t *data, std::size_t length);
    // Reads a document into Result; Version holds its second header line even on failure.
    bool LoadFromFile(std::string_view password, const std::string &fileName);
    // The same from a file the caller has opened (and checked); it stays open.
    bool LoadFromOpenFile(std::string_view password, std::FILE *file);
    // The five header lines a document begins with, for CipherId.
    std::string HeaderLines() const;
    // Compresses and enciphers data; Result := block head + payload.
    bool Encrypt(std::string_view password, const std::uint8_t *data, std::size_t length);
    // The inverse of Encrypt on a block of blockLength bytes; Result := the text.
    bool Decrypt(std::string_view password, const std::uint8_t *block, std::size_t blockLength);

    std::string ErrorText() const { return ErrorText(ErrorCode); }
    static std::string ErrorText(std::int32_t code);

    // 32-byte Blowfish key for a password of 1 to 256 bytes.
    std::array<std::uint8_t, 32> MakeBlowfishKey(std::string_view password) const;

    // Set to 1 by the EC4 routines when one of their allocations fails.
    std::int32_t ErrorCell = 0;
    std::uint8_t HeadCipherId = 0;
    std::uint8_t HeadCompressionId = 0;
    std::uint8_t HeadPayloadOffset = 0;
    std::uint8_t UsedCompressionId = 0;
    std::uint8_t HeadFormat = 0;
    std::string Version;
    std::int32_t ErrorCode = EC_AllOk;
    // The system's error number of the file call that failed a load or save (0: no call of the
    // system failed, e.g. a file shorter than its header says).
    std::int32_t SystemError = 0;
    std::uint8_t CipherId = CipherEC4;
    std::uint8_t CompressionId = CompressionCoder;
    // ResultLength bytes, then a 0 byte (empty when there is no result).
    std::vector<std::uint8_t> Result;
    std::uint32_t PayloadLength = 0;
    std::int32_t ResultLength = 0;
    // Written after "Created by " in the fifth header line.
    std::string ApplicationTitle = "Kelpa";

private:
    void FreeResult();
    bool AllocResult(std::size_t size);
    bool ReadBlockHead(const std::uint8_t *block, std::size_t blockLength);
    void WriteBlockHead(std::uint8_t *to, std::uint32_t payloadLength);
    template <class Work>
    bool Guarded(Work &&work);
    // Clears the result; false, with the error code set, for a missing or too long password.
    bool StartWithPassword(std::string_view password);
    bool EncryptBody(std::string_view password, const std::uint8_t *data, std::size_t length);
    bool DecryptBody(std::string_view password, const std::uint8_t *block, std::size_t blockLength);
    bool SaveBody(std::string_view password, const std::string &fileName,
        const std::uint8_t *data, std::size_t length);
    bool LoadBody(std::string_view password, const std::string &fileName);
    bool LoadOpened(std::string_view password, std::FILE *f);
};

} // namespace kelpa::engine
