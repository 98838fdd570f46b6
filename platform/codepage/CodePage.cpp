#include "platform/codepage/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

namespace kelpa::codepage {
namespace {

#include "platform/codepage/CodePageTables.inc"

struct Table {
    int codePage;
    const char16_t *high;
};

constexpr Table kTables[] = {
    {1252, kHigh1252}, {1251, kHigh1251}, {1250, kHigh1250}, {1253, kHigh1253},
    {1254, kHigh1254}, {1255, kHigh1255}, {1256, kHigh1256}, {1257, kHigh1257},
    {1258, kHigh1258}, {874, kHigh874},   {437, kHigh437},   {850, kHigh850},
    {10000, kHigh10000},
};

const char16_t *highHalf(int codePage)
{
    for (const Table &t : kTables)
        if (t.codePage == codePage)
            return t.high;
    return nullptr;
}

const char16_t *highHalfOrDefault(int codePage)
{
    const char16_t *h = highHalf(codePage);
    return h ? h : kHigh1252;
}

// Reverse tables, sorted by character, built once per code page on first use.
using Reverse = std::vector<std::pair<char16_t, std::uint8_t>>;

const Reverse &reverseOf(const char16_t *high)
{
    static std::mutex mutex;
    static std::array<Reverse, std::size(kTables)> cache;
    static std::array<bool, std::size(kTables)> built{};
    std::size_t index = 0;
    while (kTables[index].high != high)
        ++index;
    std::lock_guard lock(mutex);
    if (!built[index]) {
        Reverse r;
        for (int i = 0; i < 128; ++i)
            if (high[i] != 0xFFFD)
                r.emplace_back(high[i], static_cast<std::uint8_t>(0x80 + i));
        std::sort(r.begin(), r.end());
        cache[index] = std::move(r);
        built[index] = true;
    }
    return cache[index];
}

bool encodeWith(const char16_t *high, char32_t c, std::uint8_t &byte)
{
    if (c < 0x80) {
        byte = static_cast<std::uint8_t>(c);
        return true;
    }
    if (c > 0xFFFF || c == 0xFFFD)
        return false;
    // Most of Windows-1252 and friends is Latin-1 in place: try the same byte first.
    if (c < 0x100 && high[c - 0x80] == c) {
        byte = static_cast<std::uint8_t>(c);
        return true;
    }
    const Reverse &r = reverseOf(high);
    const auto key = static_cast<char16_t>(c);
    auto it = std::lower_bound(r.begin(), r.end(), key,
                               [](const auto &p, char16_t k) { return p.first < k; });
    if (it == r.end() || it->first != key)
        return false;
    byte = it->second;
    return true;
}

constexpr char16_t kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence starting at p (0 when invalid), and its code point.
std::size_t utf8Sequence(const unsigned char *p, const unsigned char *end, char32_t &cp)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t n;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool allAscii8(const unsigned char *p)
{
    std::uint64_t w;
    std::copy(p, p + 8, reinterpret_cast<unsigned char *>(&w));
    return (w & 0x8080808080808080ULL) == 0;
}

void appendUtf16(std::u16string &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Next code point of UTF-16 text; unpaired surrogates give U+FFFD.
char32_t nextUtf16(std::u16string_view text, std::size_t &i)
{
    const char16_t c = text[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i++] - 0xDC00);
    if (c >= 0xD800 && c <= 0xDFFF)
        return kReplacement;
    return c;
}

// Every byte of a single-byte code page is one character, in UTF-16 as in UTF-32.
template <class String>
String decodeAs(std::string_view bytes, int codePage)
{
    const char16_t *high = highHalfOrDefault(codePage);
    String out(bytes.size(), typename String::value_type{});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b < 0x80 ? b : high[b - 0x80];
    }
    return out;
}

char32_t nextChar(std::u16string_view text, std::size_t &i)
{
    return nextUtf16(text, i);
}

char32_t nextChar(std::u32string_view text, std::size_t &i)
{
    return text[i++];
}

template <class View>
std::string encodeText(View text, int codePage, bool *lossless, char replacement)
{
    const char16_t *high = highHalfOrDefault(codePage);
    std::string out;
    out.reserve(text.size());
    bool ok = true;
    for (std::size_t i = 0; i < text.size();) {
        std::uint8_t b;
        if (encodeWith(high, nextChar(text, i), b)) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back(replacement);
            ok = false;
        }
    }
    if (lossless)
        *lossless = ok;
    return out;
}

const char *iconvName(int codePage)
{
    switch (codePage) {
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    default: return nullptr;
    }
}

// One converter per double-byte code page and thread, opened on first use: readers decode such
// text a character at a time.
class DoubleByteConverters {
public:
    ~DoubleByteConverters()
    {
        for (const Slot &s : slots_)
            if (s.cd != invalid())
                iconv_close(s.cd);
    }

    iconv_t get(int codePage)
    {
        for (Slot &s : slots_)
            if (s.codePage == codePage)
                return s.cd;
        for (Slot &s : slots_)
            if (s.codePage == 0) {
                s.codePage = codePage;
                static_assert(std::endian::native == std::endian::little);
                s.cd = iconv_open("UTF-16LE", iconvName(codePage));
                return s.cd;
            }
        return invalid();
    }

    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

private:
    struct Slot {
        int codePage = 0;
        iconv_t cd = invalid();
    };
    std::array<Slot, 4> slots_;
};

std::u16string decodeDoubleByte(std::string_view bytes, int codePage)
{
    thread_local DoubleByteConverters converters;
    std::u16string out;
    out.reserve(bytes.size());
    const iconv_t cd = converters.get(codePage);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        const std::size_t len = isLeadByte(codePage, b) && i + 1 < bytes.size() ? 2 : 1;
        char16_t buffer[4];
        char *in = const_cast<char *>(bytes.data() + i);
        std::size_t inLeft = len;
        char *outPtr = reinterpret_cast<char *>(buffer);
        std::size_t outLeft = sizeof buffer;
        std::size_t made = 0;
        if (cd != DoubleByteConverters::invalid()) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                inLeft == 0)
                made = (sizeof buffer - outLeft) / sizeof(char16_t);
        }
        if (made != 0) {
            out.append(buffer, made);
            i += len;
            continue;
        }
        out.push_back(kReplacement);
        // A bad pair whose second byte cannot trail keeps that byte as a character of its own.
        i += len == 2 && static_cast<std::uint8_t>(bytes[i + 1]) < 0x40 ? 1 : len;
    }
    return out;
}

} // namespace

bool isKnown(int codePage)
{
    return highHalf(codePage) != nullptr;
}

bool isDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool isLeadByte(int codePage, std::uint8_t byte)
{
    if (codePage == 932)
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    if (isDoubleByte(codePage))
        return byte >= 0x81 && byte <= 0xFE;
    return false;
}

char16_t decodeByte(int codePage, std::uint8_t byte)
{
    if (byte < 0x80)
        return byte;
    return highHalfOrDefault(codePage)[byte - 0x80];
}

bool encodeChar(int codePage, char32_t c, std::uint8_t &byte)
{
    return encodeWith(highHalfOrDefault(codePage), c, byte);
}

std::u16string decode(std::string_view bytes, int codePage)
{
    if (isDoubleByte(codePage))
        return decodeDoubleByte(bytes, codePage);
    return decodeAs<std::u16string>(bytes, codePage);
}

std::u32string decodeToUtf32(std::string_view bytes, int codePage)
{
    return decodeAs<std::u32string>(bytes, codePage);
}

std::string encode(std::u16string_view text, int codePage, bool *lossless, char replacement)
{
    return encodeText(text, codePage, lossless, replacement);
}

std::string encodeUtf32(std::u32string_view text, int codePage, bool *lossless, char replacement)
{
    return encodeText(text, codePage, lossless, replacement);
}

std::optional<std::string> encodePassword(std::u16string_view password)
{
    for (const int codePage : {Windows1252, Windows1251}) {
        bool lossless = true;
        std::string bytes = encode(password, codePage, &lossless);
        if (lossless)
            return bytes;
    }
    return std::nullopt;
}

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

bool isValidUtf8(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8 && allAscii8(p)) {
            p += 8;
            continue;
        }
        char32_t cp;
        const std::size_t n = utf8Sequence(p, end, cp);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

std::u16string utf8ToUtf16(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8 && allAscii8(p)) {
            out.append(p, p + 8);
            p += 8;
            continue;
        }
        char32_t cp;
        const std::size_t n = utf8Sequence(p, end, cp);
        if (n == 0) {
            out.push_back(kReplacement);
            ++p;
        } else {
            appendUtf16(out, cp);
            p += n;
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    // Sized first and written in place: pages run to hundreds of megabytes.
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = nextUtf16(text, i);
        length += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    }
    std::string out(length, '\0');
    char *o = out.data();
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < 0x80) {
            *o++ = static_cast<char>(text[i++]);
            continue;
        }
        const char32_t cp = nextUtf16(text, i);
        if (cp < 0x800) {
            *o++ = static_cast<char>(0xC0 | (cp >> 6));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (cp >> 12));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (cp >> 18));
            *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

const char *encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::Utf8Bom: return "UTF-8 with BOM";
    case TextEncoding::Windows1252: return "Windows-1252";
    }
    return "UTF-8";
}

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
}

DecodedText decodePlainText(std::string_view bytes)
{
    DecodedText result;
    if (!isValidUtf8(bytes)) {
        result.text = decode(bytes, Windows1252);
        result.encoding = TextEncoding::Windows1252;
    } else if (bytes.starts_with(kBom)) {
        result.text = utf8ToUtf16(bytes.substr(kBom.size()));
        result.encoding = TextEncoding::Utf8Bom;
    } else {
        result.text = utf8ToUtf16(bytes);
        result.encoding = TextEncoding::Utf8;
    }
    return result;
}

EncodedText encodePlainText(std::u16string_view text, TextEncoding wanted)
{
    EncodedText result;
    if (wanted == TextEncoding::Windows1252) {
        bool lossless = false;
        result.bytes = encode(text, Windows1252, &lossless);
        if (lossless) {
            result.encoding = TextEncoding::Windows1252;
            return result;
        }
        wanted = TextEncoding::Utf8;
    }
    result.encoding = wanted;
    result.bytes = utf16ToUtf8(text);
    if (wanted == TextEncoding::Utf8Bom)
        result.bytes.insert(0, kBom);
    return result;
}

} // namespace kelpa::codepage
