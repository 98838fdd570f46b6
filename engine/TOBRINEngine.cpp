#include "engine/TOBRINEngine.h"

#include "engine/CBlowFish.h"
#include "engine/EC4.h"
#include "engine/LegacyCipher.h"
#include "platform/safefile/SafeFile.h"
#include "engine/TQCmp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::engine {

namespace {

constexpr char Magic[9] = {'V', 'O', 'K', 'A', 'T', 0x01, 'E', 'C', 'O'};
constexpr std::uint8_t BlockFormat = '3';
constexpr std::size_t MaxResult = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 1;

const std::int8_t BlowfishSalt[8] = {0x5c, 0x19, static_cast<std::int8_t>(0xe2),
    static_cast<std::int8_t>(0xa7), 0x40, 0x3b, static_cast<std::int8_t>(0xd8), 0x6f};

std::uint32_t readLe32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

// A header line: bytes up to LF (not kept) or the end of the file, every CR dropped.
std::string readHeaderLine(std::FILE *f)
{
    std::string line;
    for (int c; (c = std::getc(f)) != EOF && c != '\n';) {
        if (c != '\r')
            line += static_cast<char>(c);
    }
    return line;
}

// A decimal number with an optional sign, as the whole text.
std::optional<long long> decimalNumber(const std::string &text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i == text.size() || text.size() - i > 12)
        return std::nullopt;
    long long n = 0;
    for (std::size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9')
            return std::nullopt;
        n = n * 10 + (text[j] - '0');
    }
    return text[0] == '-' ? -n : n;
}

} // namespace

std::string TOBRINEngine::ErrorText(std::int32_t code)
{
    static const char *const texts[] = {"EC:AllOk", "EC:Sup.ver", "EC:Unkn.data", "EC:No pwd",
        "EC:PwdTooLong", "EC:NoAlg.", "EC:NoAlgImp.", "EC:FOpen", "EC:MAlloc", "EC:BadFile",
        "EC:NonOBRIN", "EC:NoCompAlg."};
    if (code >= EC_Compression) {
        const std::int32_t n = code - EC_Compression;
        return n == TQCmp::ErrFormat || n == TQCmp::ErrBadData ? "EC:Comp.BadData" : "EC:Comp.Failure";
    }
    if (code >= 0 && code <= EC_NoCompAlg)
        return texts[code];
    return "EC:Unknown";
}

void TOBRINEngine::FreeResult()
{
    std::vector<std::uint8_t>().swap(Result);
    ResultLength = 0;
}

bool TOBRINEngine::AllocResult(std::size_t size)
{
    FreeResult();
    if (size > MaxResult) {
        ErrorCode = EC_MAlloc;
        return false;
    }
    try {
        Result.assign(size + 1, 0);
    } catch (const std::bad_alloc &) {
        ErrorCode = EC_MAlloc;
        return false;
    }
    ResultLength = static_cast<std::int32_t>(size);
    return true;
}

void TOBRINEngine::WriteBlockHead(std::uint8_t *to, std::uint32_t payloadLength)
{
    PayloadLength = payloadLength;
    to[0] = BlockFormat;
    to[1] = BlockHeadSize;
    to[2] = CipherId;
    to[3] = UsedCompressionId;
    to[4] = static_cast<std::uint8_t>(payloadLength);
    to[5] = static_cast<std::uint8_t>(payloadLength >> 8);
    to[6] = static_cast<std::uint8_t>(payloadLength >> 16);
    to[7] = static_cast<std::uint8_t>(payloadLength >> 24);
}

bool TOBRINEngine::ReadBlockHead(const std::uint8_t *block, std::size_t blockLength)
{
    if (blockLength < BlockHeadSize) {
        ErrorCode = EC_BadFile;
        return false;
    }
    HeadFormat = block[0];
    HeadPayloadOffset = block[1];
    HeadCipherId = block[2];
    HeadCompressionId = block[3];
    PayloadLength = readLe32(block + 4);
    return true;
}

std::array<std::uint8_t, 32> TOBRINEngine::MakeBlowfishKey(std::string_view password) const
{
    std::array<std::uint8_t, 32> key{};
    const int L = static_cast<int>(password.size());
    if (L == 0)
        return key;
    const auto pw = [&](int i) { return static_cast<int>(static_cast<unsigned char>(password[i])); };
    // For passwords longer than 8 bytes the t3 term asks for places before the salt; they
    // count as 0, so the same password always gives the same key.
    const auto saltAt = [](int i) { return i >= 0 ? static_cast<int>(BlowfishSalt[i]) : 0; };

    int S = 0;
    for (char p : password)
        S = (S + static_cast<signed char>(p)) % 256;
    int d = L;
    for (int k = 0; k < 32; ++k) {
        const int pos = k % L;
        const int off = k % 8;
        int c = 0;
        for (int i = 0; i < 8; ++i) {
            if (i != off)
                c = (c + BlowfishSalt[i]) % 256;
            c = (c * BlowfishSalt[7 - i]) % 256;
        }
        const int t1 = d >> (((BlowfishSalt[off] + k) % 7) & 31);
        const int t2 = d >> (((k + d) % 3) & 31);
        const int t3 = (saltAt(7 - pos) * d) % ((k % 3) + 1);
        const int sum = k + d + c + S + pw(pos) + (pw(L - 1 - pos) & (d & 0xff)) + t1 + t2 + t3;
        key[k] = static_cast<std::uint8_t>(sum);
        d = key[k];
    }
    return key;
}

// Whatever the work throws (in practice bad_alloc) is reported as out of memory, no result.
template <class Work>
bool TOBRINEngine::Guarded(Work &&work)
{
    try {
        return work();
    } catch (const std::exception &) {
        FreeResult();
        ErrorCode = EC_MAlloc;
        return false;
    }
}

bool TOBRINEngine::StartWithPassword(std::string_view password)
{
    FreeResult();
    ErrorCode = EC_AllOk;
    if (password.size() > MaxPasswordLength) {
        ErrorCode = EC_PwdTooLong;
        return false;
    }
    if (password.empty()) {
        ErrorCode = EC_NoPwd;
        return false;
    }
    return true;
}

bool TOBRINEngine::Encrypt(std::string_view password, const std::uint8_t *data, std::size_t length)
{
    return Guarded([&] { return EncryptBody(password, data, length); });
}

bool TOBRINEngine::EncryptBody(std::string_view password, const std::uint8_t *data, std::size_t length)
{
    FreeResult();
    ErrorCode = EC_AllOk;
    UsedCompressionId = CompressionId;

    std::vector<std::uint8_t> packed;
    if (CompressionId == CompressionCoder) {
        TQCmp coder;
        if (!coder.Compress(data, length)) {
            ErrorCode = EC_Compression + coder.ErrorCode;
            return false;
        }
        if (coder.ErrorCode == TQCmp::ErrNoGain) {
            UsedCompressionId = CompressionStored;
        } else {
            if (!coder.CopyOutput(packed)) {
                ErrorCode = EC_Compression + coder.ErrorCode;
                return false;
            }
            data = packed.data();
            length = packed.size();
        }
    } else if (CompressionId != CompressionStored) {
        ErrorCode = EC_NoCompAlg;
        return false;
    }

    if (!StartWithPassword(password))
        return false;
    if (length > MaxResult - BlockHeadSize - 8) {
        ErrorCode = EC_MAlloc;
        return false;
    }
    const auto payloadLength = static_cast<std::uint32_t>(length);

    switch (CipherId) {
    case CipherEC4: {
        if (!AllocResult(length + BlockHeadSize))
            return false;
        const std::vector<std::uint8_t> cipher = EC4Encrypt(ErrorCell, password, data, length);
        if (ErrorCell != 0) {
            FreeResult();
            ErrorCode = EC_MAlloc;
            return false;
        }
        WriteBlockHead(Result.data(), payloadLength);
        if (length > 0)
            std::memcpy(Result.data() + BlockHeadSize, cipher.data(), length);
        return true;
    }
    case CipherBlowfish: {
        CBlowFish cipher;
        std::array<std::uint8_t, 32> key = MakeBlowfishKey(password);
        cipher.SetKey(key.data(), static_cast<int>(key.size()));
        key.fill(0);
        const std::size_t padded = CBlowFish::PaddedLength(length);
        if (!AllocResult(padded + BlockHeadSize))
            return false;
        cipher.EncryptBuffer(data, Result.data() + BlockHeadSize, length);
        WriteBlockHead(Result.data(), static_cast<std::uint32_t>(padded));
        return true;
    }
    case CipherXor: {
        if (!AllocResult(length + BlockHeadSize))
            return false;
        WriteBlockHead(Result.data(), payloadLength);
        std::uint8_t *out = Result.data() + BlockHeadSize;
        for (std::size_t i = 0, k = 0; i < length; ++i) {
            out[i] = static_cast<std::uint8_t>(password[k] ^ data[i]);
            k = k + 1 == password.size() ? 0 : k + 1;
        }
        return true;
    }
    default:
        ErrorCode = EC_NoAlg;
        return false;
    }
}

bool TOBRINEngine::Decrypt(std::string_view password, const std::uint8_t *block, std::size_t blockLength)
{
    return Guarded([&] { return DecryptBody(password, block, blockLength); });
}

bool TOBRINEngine::DecryptBody(std::string_view password, const std::uint8_t *block,
    std::size_t blockLength)
{
    if (!StartWithPassword(password))
        return false;
    if (block == nullptr || !ReadBlockHead(block, blockLength)) {
        ErrorCode = EC_BadFile;
        return false;
    }
    if (HeadFormat > BlockFormat) {
        ErrorCode = EC_SupVer;
        return false;
    }
    // The head's payload offset and length must lie inside the body.
    if (HeadPayloadOffset > blockLength || PayloadLength > blockLength - HeadPayloadOffset) {
        ErrorCode = EC_BadFile;
        return false;
    }
    if (PayloadLength > MaxResult) {
        ErrorCode = EC_MAlloc;
        return false;
    }
    const std::uint8_t *payload = block + HeadPayloadOffset;

    switch (HeadCipherId) {
    case CipherEC4: {
        std::vector<std::uint8_t> plain = EC4Decrypt(ErrorCell, password, payload, PayloadLength);
        if (ErrorCell != 0) {
            ErrorCode = EC_MAlloc;
            return false;
        }
        Result = std::move(plain);
        ResultLength = static_cast<std::int32_t>(PayloadLength);
        break;
    }
    case CipherBlowfish: {
        // Blowfish works on whole blocks only.
        if (PayloadLength % 8 != 0) {
            ErrorCode = EC_BadFile;
            return false;
        }
        if (!AllocResult(PayloadLength))
            return false;
        CBlowFish cipher;
        std::array<std::uint8_t, 32> key = MakeBlowfishKey(password);
        cipher.SetKey(key.data(), static_cast<int>(key.size()));
        key.fill(0);
        cipher.DecryptBuffer(payload, Result.data(), PayloadLength);
        break;
    }
    case CipherXor: {
        if (!AllocResult(PayloadLength))
            return false;
        for (std::size_t i = 0, k = 0; i < PayloadLength; ++i) {
            Result[i] = static_cast<std::uint8_t>(password[k] ^ payload[i]);
            k = k + 1 == password.size() ? 0 : k + 1;
        }
        break;
    }
    default:
        ErrorCode = EC_NoAlg;
        return false;
    }

    switch (HeadCompressionId) {
    case CompressionStored:
        return true;
    case CompressionCoder: {
        TQCmp coder;
        if (!coder.Decompress(Result.data(), static_cast<std::size_t>(ResultLength))) {
            ErrorCode = EC_Compression + coder.ErrorCode;
            return false;
        }
        Result = std::move(coder.Output);
        ResultLength = coder.OutputLength;
        return true;
    }
    default:
        ErrorCode = EC_NoCompAlg;
        return false;
    }
}

std::string TOBRINEngine::HeaderLines() const
{
    std::string head(Magic, sizeof Magic);
    head += "\r\n";
    head += CipherId == CipherLegacy ? "3.0" : "5.0";
    head += "\r\n5\r\n00000000\r\nCreated by ";
    head += ApplicationTitle;
    head += "\r\n";
    return head;
}

bool TOBRINEngine::SaveToFile(std::string_view password, const std::string &fileName,
    const std::uint8_t *data, std::size_t length)
{
    return Guarded([&] { return SaveBody(password, fileName, data, length); });
}

bool TOBRINEngine::SaveBody(std::string_view password, const std::string &fileName,
    const std::uint8_t *data, std::size_t length)
{
    FreeResult();
    ErrorCode = EC_AllOk;
    SystemError = 0;

    // The document goes to a new file beside the target, which replaces the target only when
    // it is complete; a failed save leaves the previous document as it was. A document its
    // user may not write is refused, as opening it for writing would be.
    if (!fileName.empty() && ::access(fileName.c_str(), W_OK) != 0 && errno != ENOENT) {
        SystemError = errno;
        ErrorCode = EC_FOpen;
        return false;
    }
    const auto fail = [&](std::int32_t code) {
        ErrorCode = code;
        return false;
    };
    // The text ends at its first 0 byte.
    const void *zero = CipherId == CipherLegacy && length > 0 ? std::memchr(data, 0, length) : nullptr;
    const std::size_t textLength = zero ? static_cast<const std::uint8_t *>(zero) - data : length;
    // Its length is read back from seven digits: a longer text would read as another one.
    if (CipherId == CipherLegacy && textLength > LegacyTextLimit)
        return fail(EC_BadFile);
    kelpa::SafeFileWriter out(fileName);
    if (!out.isOpen()) {
        SystemError = out.systemError();
        ErrorCode = EC_FOpen;
        return false;
    }

    const std::string head = HeaderLines();
    if (CipherId == CipherLegacy) {
        if (password.empty())
            return fail(EC_NoPwd);
        const std::string cipher = EncipherText(password,
            std::string_view(reinterpret_cast<const char *>(data), textLength));
        std::size_t crs = 0;
        for (char c : cipher)
            crs += c == '\r';
        if (!AllocResult(cipher.size() + crs))
            return fail(EC_MAlloc);
        std::uint8_t *to = Result.data();
        for (char c : cipher) {
            *to++ = static_cast<std::uint8_t>(c);
            if (c == '\r')
                *to++ = '\n';
        }
    } else if (!Encrypt(password, data, length)) {
        const std::int32_t code = ErrorCode;
        FreeResult();
        return fail(code);
    }

    if (!out.write(head.data(), head.size()) || !out.write(Result.data(), static_cast<std::size_t>(ResultLength))) {
        SystemError = out.systemError();
        return fail(EC_BadFile);
    }
    if (!out.commit()) {
        SystemError = out.systemError();
        return fail(out.error() == kelpa::SafeFileError::Replace ? EC_FOpen : EC_BadFile);
    }
    return true;
}

bool TOBRINEngine::LoadFromFile(std::string_view password, const std::string &fileName)
{
    return Guarded([&] { return LoadBody(password, fileName); });
}

bool TOBRINEngine::LoadBody(std::string_view password, const std::string &fileName)
{
    FreeResult();
    ErrorCode = EC_AllOk;
    SystemError = 0;

    // Closed on every way out, before the body is deciphered. A pipe or a device is no document:
    // it is opened without waiting for a writer and refused.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SystemError = errno;
        ErrorCode = EC_FOpen;
        return false;
    }
    struct stat st {};
    const int stated = ::fstat(fd, &st);
    if (stated != 0 || !S_ISREG(st.st_mode)) {
        SystemError = stated != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        ErrorCode = EC_FOpen;
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(::fdopen(fd, "rb"), &std::fclose);
    if (!file) {
        SystemError = errno;
        ::close(fd);
        ErrorCode = EC_FOpen;
        return false;
    }
    return LoadOpened(password, file.get());
}

bool TOBRINEngine::LoadFromOpenFile(std::string_view password, std::FILE *file)
{
    return Guarded([&] {
        FreeResult();
        ErrorCode = EC_AllOk;
        SystemError = 0;
        if (!file) {
            ErrorCode = EC_FOpen;
            return false;
        }
        return LoadOpened(password, file);
    });
}

bool TOBRINEngine::LoadOpened(std::string_view password, std::FILE *f)
{
    struct stat st;
    const int stated = ::fstat(::fileno(f), &st);
    if (stated != 0 || !S_ISREG(st.st_mode)) {
        SystemError = stated != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ErrorCode = EC_FOpen;
        return false;
    }
    const auto fail = [&](std::int32_t code) {
        // A read that stopped on an error of the system, not at the file's end.
        if (code == EC_BadFile && std::ferror(f))
            SystemError = errno;
        ErrorCode = code;
        return false;
    };

    char magic[sizeof Magic];
    if (std::fread(magic, 1, sizeof magic, f) != sizeof magic)
        return fail(EC_BadFile);
    if (std::memcmp(magic, Magic, sizeof Magic) != 0)
        return fail(EC_NonOBRIN);
    std::getc(f);
    std::getc(f);

    Version = readHeaderLine(f);
    if (Version > "5.0")
        return fail(EC_SupVer);
    const auto count = decimalNumber(readHeaderLine(f));
    if (!count)
        return fail(EC_BadFile);
    if (*count > 4)
        readHeaderLine(f);
    readHeaderLine(f);

    const long position = std::ftell(f);
    if (position < 0)
        return fail(EC_BadFile);
    const std::size_t bodyLength = st.st_size > position
        ? static_cast<std::size_t>(st.st_size - position) : 0;
    if (bodyLength > MaxResult)
        return fail(EC_MAlloc);
    std::vector<std::uint8_t> body;
    try {
        body.resize(bodyLength + 1);
    } catch (const std::bad_alloc &) {
        return fail(EC_MAlloc);
    }
    if (std::fread(body.data(), 1, bodyLength, f) != bodyLength)
        return fail(EC_BadFile);
    body[bodyLength] = 0;

    if (Version < "3.1") {
        if (Version < "2.3") {
            ErrorCode = EC_NoAlgImp;
            return false;
        }
        if (password.empty()) {
            ErrorCode = EC_NoPwd;
            return false;
        }
        const std::size_t textLength = std::strlen(reinterpret_cast<const char *>(body.data()));
        const auto text = DecipherText(password,
            std::string_view(reinterpret_cast<const char *>(body.data()), textLength));
        if (!text) {
            ErrorCode = EC_BadFile;
            return false;
        }
        if (!AllocResult(text->size()))
            return false;
        std::memcpy(Result.data(), text->data(), text->size());
        return true;
    }
    return Decrypt(password, body.data(), bodyLength);
}

} // namespace kelpa::engine
