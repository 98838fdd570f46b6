#include "widgets/Strutils.h"

#include "platform/codepage/CodePage.h"
#include "platform/numbers/IntegerText.h"

#include <QChar>
#include <QCollator>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>

namespace kelpa::widgets {

namespace {

constexpr int AnsiCodePage = codepage::Windows1252;
constexpr int OemCodePage = 437;

using CaseTable = std::array<char, 256>;

CaseTable makeCaseTable(bool upper)
{
    CaseTable t{};
    for (int b = 0; b < 256; ++b) {
        t[b] = static_cast<char>(b);
        const char16_t c = codepage::decodeByte(AnsiCodePage, static_cast<std::uint8_t>(b));
        const QChar q(c);
        const char16_t mapped = (upper ? q.toUpper() : q.toLower()).unicode();
        std::uint8_t out = 0;
        if (mapped != c && codepage::encodeChar(AnsiCodePage, mapped, out))
            t[b] = static_cast<char>(out);
    }
    return t;
}

char upperChar(char c)
{
    static const CaseTable table = makeCaseTable(true);
    return table[static_cast<std::uint8_t>(c)];
}

char lowerChar(char c)
{
    static const CaseTable table = makeCaseTable(false);
    return table[static_cast<std::uint8_t>(c)];
}

bool in(const TSysCharSet &set, char c)
{
    return set.test(static_cast<std::uint8_t>(c));
}

QString toQt(const std::string &s)
{
    const std::u16string u = codepage::decode(s, AnsiCodePage);
    return QString(reinterpret_cast<const QChar *>(u.data()), static_cast<qsizetype>(u.size()));
}

std::string recode(const std::string &s, int from, int to)
{
    return codepage::encode(codepage::decode(s, from), to);
}

int sign(int v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

int compareLocale(const std::string &a, const std::string &b, Qt::CaseSensitivity cs)
{
    QCollator collator;
    collator.setCaseSensitivity(cs);
    return sign(collator.compare(toQt(a), toQt(b)));
}

// 1-based start of the N-th word, its length through `length`; 0 when there are fewer.
int wordStart(int N, const std::string &S, const TSysCharSet &delims, std::size_t &length)
{
    length = 0;
    if (N < 1)
        return 0;
    int count = 0;
    std::size_t i = 0;
    while (i < S.size()) {
        while (i < S.size() && in(delims, S[i]))
            ++i;
        if (i >= S.size())
            break;
        const std::size_t start = i;
        while (i < S.size() && !in(delims, S[i]))
            ++i;
        if (++count == N) {
            length = i - start;
            return static_cast<int>(start) + 1;
        }
    }
    return 0;
}

bool sameIgnoringCase(const std::string &a, const std::string &b)
{
    return AnsiUpperCase(a) == AnsiUpperCase(b);
}

// A parameter that takes part in the switch search, without its leading character.
bool switchBody(const std::string &param, const TSysCharSet &chars, std::string &body)
{
    if (chars.none()) {
        body = param.empty() ? std::string() : param.substr(1);
        return true;
    }
    if (param.size() > 1 && in(chars, param[0])) {
        body = param.substr(1);
        return true;
    }
    return false;
}

} // namespace

TSysCharSet CharSet(std::string_view chars)
{
    TSysCharSet set;
    for (char c : chars)
        set.set(static_cast<std::uint8_t>(c));
    return set;
}

std::string AnsiUpperCase(const std::string &S)
{
    std::string r = S;
    std::transform(r.begin(), r.end(), r.begin(), upperChar);
    return r;
}

std::string AnsiLowerCase(const std::string &S)
{
    std::string r = S;
    std::transform(r.begin(), r.end(), r.begin(), lowerChar);
    return r;
}

bool TryStrToInt(std::string_view S, std::int32_t &Value)
{
    const auto value = parseInteger(S, IntegerSyntax::Prefixed);
    if (value)
        Value = *value;
    return value.has_value();
}

std::string DelChars(const std::string &S, char Chr)
{
    std::string r = S;
    r.erase(std::remove(r.begin(), r.end(), Chr), r.end());
    return r;
}

QString DelChars(const QString &S, QChar Chr)
{
    QString r = S;
    return r.remove(Chr);
}

std::string StrToOem(const std::string &S)
{
    return recode(S, AnsiCodePage, OemCodePage);
}

std::string OemToAnsiStr(const std::string &OemStr)
{
    return recode(OemStr, OemCodePage, AnsiCodePage);
}

bool IsEmptyStr(const std::string &S, const TSysCharSet &EmptyChars)
{
    return std::all_of(S.begin(), S.end(), [&](char c) { return in(EmptyChars, c); });
}

std::string ReplaceStr(const std::string &S, const std::string &Srch, const std::string &Replace)
{
    if (Srch.empty())
        return S;
    std::string r;
    std::size_t from = 0;
    for (std::size_t at; (at = S.find(Srch, from)) != std::string::npos; from = at + Srch.size())
        r.append(S, from, at - from).append(Replace);
    return r.append(S, from);
}

std::string DelSpace(const std::string &S)
{
    return DelChars(S, ' ');
}

std::string DelBSpace(const std::string &S)
{
    const std::size_t first = S.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : S.substr(first);
}

std::string DelESpace(const std::string &S)
{
    const std::size_t last = S.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : S.substr(0, last + 1);
}

std::string DelRSpace(const std::string &S)
{
    return DelBSpace(DelESpace(S));
}

std::string DelSpace1(const std::string &S)
{
    std::string r;
    for (char c : S)
        if (c != ' ' || r.empty() || r.back() != ' ')
            r += c;
    return r;
}

std::string Tab2Space(const std::string &S, std::uint8_t Numb)
{
    return ReplaceStr(S, "\t", std::string(Numb, ' '));
}

std::string MakeStr(char C, int N)
{
    return N <= 0 ? std::string() : std::string(static_cast<std::size_t>(N), C);
}

std::string MS(char C, int N)
{
    return MakeStr(C, N);
}

int NPos(const std::string &C, const std::string &S, int N)
{
    if (C.empty() || N < 1)
        return 0;
    std::size_t from = 0;
    std::size_t at = std::string::npos;
    for (int k = 0; k < N; ++k) {
        at = S.find(C, from);
        if (at == std::string::npos)
            return 0;
        from = at + 1;
    }
    return static_cast<int>(at) + 1;
}

std::string AddChar(char C, const std::string &S, int N)
{
    const int len = static_cast<int>(S.size());
    return len < N ? MakeStr(C, N - len) + S : S;
}

std::string AddCharR(char C, const std::string &S, int N)
{
    const int len = static_cast<int>(S.size());
    return len < N ? S + MakeStr(C, N - len) : S;
}

std::string LeftStr(const std::string &S, int N)
{
    return AddCharR(' ', S, N);
}

std::string RightStr(const std::string &S, int N)
{
    return AddChar(' ', S, N);
}

int CompStr(const std::string &S1, const std::string &S2)
{
    return compareLocale(S1, S2, Qt::CaseSensitive);
}

int CompText(const std::string &S1, const std::string &S2)
{
    return compareLocale(S1, S2, Qt::CaseInsensitive);
}

std::string Copy2Symb(const std::string &S, char Symb)
{
    return S.substr(0, S.find(Symb));
}

std::string Copy2SymbDel(std::string &S, char Symb)
{
    const std::size_t at = S.find(Symb);
    std::string head = S.substr(0, at);
    S = at == std::string::npos ? std::string() : DelBSpace(S.substr(at));
    return head;
}

std::string Copy2Space(const std::string &S)
{
    return Copy2Symb(S, ' ');
}

std::string Copy2SpaceDel(std::string &S)
{
    return Copy2SymbDel(S, ' ');
}

std::string AnsiProperCase(const std::string &S, const TSysCharSet &WordDelims)
{
    std::string r = AnsiLowerCase(S);
    for (std::size_t i = 0; i < r.size(); ++i)
        if (!in(WordDelims, r[i]) && (i == 0 || in(WordDelims, r[i - 1])))
            r[i] = upperChar(r[i]);
    return r;
}

int WordCount(const std::string &S, const TSysCharSet &WordDelims)
{
    int count = 0;
    for (std::size_t i = 0; i < S.size(); ++i)
        if (!in(WordDelims, S[i]) && (i == 0 || in(WordDelims, S[i - 1])))
            ++count;
    return count;
}

int WordPosition(int N, const std::string &S, const TSysCharSet &WordDelims)
{
    std::size_t length = 0;
    return wordStart(N, S, WordDelims, length);
}

std::string ExtractWord(int N, const std::string &S, const TSysCharSet &WordDelims)
{
    int pos = 0;
    return ExtractWordPos(N, S, WordDelims, pos);
}

std::string ExtractWordPos(int N, const std::string &S, const TSysCharSet &WordDelims, int &Pos)
{
    std::size_t length = 0;
    Pos = wordStart(N, S, WordDelims, length);
    return Pos == 0 ? std::string() : S.substr(static_cast<std::size_t>(Pos) - 1, length);
}

std::string ExtractDelimited(int N, const std::string &S, const TSysCharSet &Delims)
{
    if (N < 1)
        return std::string();
    int field = 1;
    std::string r;
    for (char c : S) {
        if (in(Delims, c)) {
            if (field++ == N)
                return r;
        } else if (field == N) {
            r += c;
        }
    }
    return field == N ? r : std::string();
}

std::string ExtractSubstr(const std::string &S, int &Pos, const TSysCharSet &Delims)
{
    const std::size_t start = Pos < 1 ? 0 : static_cast<std::size_t>(Pos) - 1;
    std::size_t i = start;
    while (i < S.size() && !in(Delims, S[i]))
        ++i;
    const std::string r = start < S.size() ? S.substr(start, i - start) : std::string();
    // Past the delimiter, or one past the end.
    Pos = static_cast<int>(std::min(i, S.size())) + (i < S.size() ? 2 : 1);
    return r;
}

bool IsWordPresent(const std::string &W, const std::string &S, const TSysCharSet &WordDelims)
{
    const int count = WordCount(S, WordDelims);
    for (int n = 1; n <= count; ++n)
        if (ExtractWord(n, S, WordDelims) == W)
            return true;
    return false;
}

std::string QuotedString(const std::string &S, char Quote)
{
    std::string r(1, Quote);
    for (char c : S) {
        r += c;
        if (c == Quote)
            r += Quote;
    }
    return r += Quote;
}

std::string ExtractQuotedString(const std::string &S, char Quote)
{
    if (S.empty() || S[0] != Quote)
        return S;
    std::string r;
    for (std::size_t i = 1; i < S.size(); ++i) {
        if (S[i] == Quote) {
            if (i + 1 < S.size() && S[i + 1] == Quote) {
                r += Quote;
                ++i;
                continue;
            }
            break;
        }
        r += S[i];
    }
    return r;
}

std::string Numb2USA(const std::string &S)
{
    std::string r;
    const std::size_t n = S.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            r += ',';
        r += S[i];
    }
    return r;
}

std::string CenterStr(const std::string &S, int Len)
{
    const int len = static_cast<int>(S.size());
    if (len >= Len)
        return S;
    return AddCharR(' ', MakeStr(' ', Len / 2 - len / 2) + S, Len);
}

std::string Dec2Hex(std::int32_t N, std::uint8_t A)
{
    static const char digits[] = "0123456789ABCDEF";
    auto v = static_cast<std::uint32_t>(N);
    std::string r;
    do {
        r.insert(r.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return AddChar('0', r, A);
}

std::string D2H(std::int32_t N, std::uint8_t A)
{
    return Dec2Hex(N, A);
}

int Hex2Dec(const std::string &S)
{
    std::int32_t v = 0;
    const std::string text = S.find('$') == std::string::npos ? "$" + S : S;
    return TryStrToInt(text, v) ? v : 0;
}

int H2D(const std::string &S)
{
    return Hex2Dec(S);
}

std::string Dec2Numb(std::int32_t N, std::uint8_t A, std::uint8_t B)
{
    if (N < 0 || B < 2)
        return std::string();
    std::string r;
    do {
        const int d = N % B;
        r.insert(r.begin(), static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10));
        N /= B;
    } while (N != 0);
    return AddChar('0', r, A);
}

std::int32_t Numb2Dec(const std::string &S, std::uint8_t B)
{
    if (B < 2)
        return 0;
    // No validation: every byte counts as a digit; the sum wraps as 32-bit arithmetic does.
    std::uint32_t sum = 0;
    std::uint32_t weight = 1;
    const std::string u = AnsiUpperCase(S);
    for (auto it = u.rbegin(); it != u.rend(); ++it) {
        const int code = static_cast<std::uint8_t>(*it);
        const int digit = code <= 64 ? code - 48 : code - 55;
        sum += static_cast<std::uint32_t>(digit) * weight;
        weight *= B;
    }
    return static_cast<std::int32_t>(sum);
}

int RomanToInt(const std::string &S)
{
    auto value = [](char c) {
        switch (upperChar(c)) {
        case 'I': return 1;
        case 'V': return 5;
        case 'X': return 10;
        case 'L': return 50;
        case 'C': return 100;
        case 'D': return 500;
        case 'M': return 1000;
        default: return 0;
        }
    };
    std::size_t i = 0;
    const bool negative = !S.empty() && S[0] == '-';
    if (negative)
        ++i;
    int total = 0;
    while (i < S.size()) {
        const int v = value(S[i]);
        if (v == 0)
            return 0;
        const int next = i + 1 < S.size() ? value(S[i + 1]) : 0;
        if (i + 1 < S.size() && next == 0)
            return 0;
        if (next > v) {
            total += next - v;
            i += 2;
        } else {
            total += v;
            ++i;
        }
    }
    return negative ? -total : total;
}

std::string IntToRoman(int Value)
{
    if (Value < 1)
        return std::string();
    static const char *const hundreds[] = {"", "C", "CC", "CCC", "CD", "D", "DC", "DCC", "DCCC", "CM"};
    static const char *const tens[] = {"", "X", "XX", "XXX", "XL", "L", "LX", "LXX", "LXXX", "XC"};
    static const char *const units[] = {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
    std::string r(static_cast<std::size_t>(Value / 1000), 'M');
    r += hundreds[Value / 100 % 10];
    r += tens[Value / 10 % 10];
    r += units[Value % 10];
    return r;
}

std::string IntToBin(std::int32_t Value, int Digits, int Spaces)
{
    const int n = std::min(Digits, 32);
    const auto bits = static_cast<std::uint32_t>(Value);
    std::string r;
    for (int bit = n; bit >= 1; --bit) {
        if (Spaces > 0 && bit % Spaces == 0)
            r += ' ';
        r += (bits >> (bit - 1)) & 1u ? '1' : '0';
    }
    return r;
}

int FindPart(const std::string &HelpWilds, const std::string &InputStr)
{
    if (HelpWilds.find('?') == std::string::npos) {
        if (HelpWilds.empty())
            return 0;
        const std::size_t at = InputStr.find(HelpWilds);
        return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
    }
    if (HelpWilds.size() > InputStr.size())
        return 0;
    for (std::size_t start = 0; start + HelpWilds.size() <= InputStr.size(); ++start) {
        bool match = true;
        for (std::size_t k = 0; k < HelpWilds.size() && match; ++k)
            match = HelpWilds[k] == '?' || HelpWilds[k] == InputStr[start + k];
        if (match)
            return static_cast<int>(start) + 1;
    }
    return 0;
}

bool IsWild(const std::string &InputStr, const std::string &Wilds, bool IgnoreCase)
{
    if (InputStr == Wilds)
        return true;
    std::string wilds = Wilds;
    for (std::size_t at; (at = wilds.find("**")) != std::string::npos;)
        wilds.erase(at, 1);
    if (wilds == "*")
        return true;
    if (InputStr.empty() || wilds.empty())
        return false;
    const std::string input = IgnoreCase ? AnsiUpperCase(InputStr) : InputStr;
    if (IgnoreCase)
        wilds = AnsiUpperCase(wilds);
    // 0-based positions here.
    std::size_t i = 0;
    std::size_t w = 0;
    while (i < input.size() && w < wilds.size()) {
        const char c = wilds[w];
        if (c == '?' || c == input[i]) {
            ++i;
            ++w;
            continue;
        }
        if (c != '*')
            return false;
        const std::size_t nextStar = wilds.find('*', w + 1);
        if (nextStar == std::string::npos) {
            // The rest of the pattern must match the end of the input.
            const std::string part = wilds.substr(w + 1);
            if (part.size() > input.size())
                return false;
            const std::size_t base = input.size() - part.size();
            for (std::size_t k = 0; k < part.size(); ++k)
                if (part[k] != '?' && part[k] != input[base + k])
                    return false;
            return true;
        }
        const std::string part = wilds.substr(w + 1, nextStar - w - 1);
        const int p = FindPart(part, input.substr(i));
        if (p == 0)
            return false;
        i += static_cast<std::size_t>(p) - 1 + part.size();
        // The following "*" starts the next part.
        w = nextStar;
    }
    if (i < input.size())
        return false;
    return w >= wilds.size() || wilds.back() == '*';
}

void XorString(const std::string &Key, const std::string &Src, std::string &Dest)
{
    Dest = Src;
    if (Key.empty())
        return;
    for (std::size_t i = 0; i < Dest.size(); ++i)
        Dest[i] = static_cast<char>(Dest[i] ^ Key[i % Key.size()]);
}

std::string XorEncode(const std::string &Key, const std::string &Source)
{
    static const char digits[] = "0123456789abcdef";
    std::string r;
    for (std::size_t i = 0; i < Source.size(); ++i) {
        auto b = static_cast<std::uint8_t>(Source[i]);
        if (!Key.empty())
            b ^= static_cast<std::uint8_t>(Key[i % Key.size()]);
        r += digits[b >> 4];
        r += digits[b & 0xF];
    }
    return r;
}

std::string XorDecode(const std::string &Key, const std::string &Source)
{
    std::string r;
    for (std::size_t i = 0; i + 1 < Source.size(); i += 2) {
        std::int32_t v = 0;
        std::string hex = "$";
        hex.append(Source, i, 2);
        if (!TryStrToInt(hex, v))
            v = 32;
        auto b = static_cast<std::uint8_t>(v);
        if (!Key.empty())
            b ^= static_cast<std::uint8_t>(Key[(i / 2) % Key.size()]);
        r += static_cast<char>(b);
    }
    return r;
}

std::vector<std::string> CommandLineParams()
{
    std::vector<std::string> params;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        params.push_back(codepage::encode(
            std::u16string_view(reinterpret_cast<const char16_t *>(a.utf16()),
                                static_cast<std::size_t>(a.size())),
            AnsiCodePage));
    }
    return params;
}

bool FindCmdLineSwitch(const std::string &Switch, const TSysCharSet &Chars, bool IgnoreCase)
{
    return FindCmdLineSwitch(CommandLineParams(), Switch, Chars, IgnoreCase);
}

bool FindCmdLineSwitch(const std::vector<std::string> &Params, const std::string &Switch,
                       const TSysCharSet &Chars, bool IgnoreCase)
{
    std::string body;
    for (const std::string &p : Params)
        if (switchBody(p, Chars, body) &&
            (IgnoreCase ? sameIgnoringCase(body, Switch) : body == Switch))
            return true;
    return false;
}

std::string GetCmdLineArg(const std::string &Switch, const TSysCharSet &SwitchChars)
{
    return GetCmdLineArg(CommandLineParams(), Switch, SwitchChars);
}

std::string GetCmdLineArg(const std::vector<std::string> &Params, const std::string &Switch,
                          const TSysCharSet &SwitchChars)
{
    std::string body;
    for (std::size_t i = 0; i + 1 < Params.size(); ++i)
        if (switchBody(Params[i], SwitchChars, body) && sameIgnoringCase(body, Switch))
            return Params[i + 1];
    return std::string();
}

} // namespace kelpa::widgets
