#pragma once
// Free functions on 8-bit strings in the Windows-1252 code page. Positions are 1-based, 0 means
// "none"; every function returns a new string and leaves its arguments alone unless they are
// passed by non-const reference.
#include <QString>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelpa::widgets {

// A set of byte values: word delimiters, blank characters, switch characters.
using TSysCharSet = std::bitset<256>;
TSysCharSet CharSet(std::string_view chars);

// S with every occurrence of Chr removed (also for Qt texts, such as menu captions).
std::string DelChars(const std::string &S, char Chr);
QString DelChars(const QString &S, QChar Chr);

// Windows-1252 to the OEM code page (437) and back, byte for byte; a character the other side
// lacks becomes "?".
std::string StrToOem(const std::string &S);
std::string OemToAnsiStr(const std::string &OemStr);

bool IsEmptyStr(const std::string &S, const TSysCharSet &EmptyChars);
std::string ReplaceStr(const std::string &S, const std::string &Srch, const std::string &Replace);
std::string DelSpace(const std::string &S);
std::string DelBSpace(const std::string &S);
std::string DelESpace(const std::string &S);
std::string DelRSpace(const std::string &S);
std::string DelSpace1(const std::string &S);
std::string Tab2Space(const std::string &S, std::uint8_t Numb);
std::string MakeStr(char C, int N);
std::string MS(char C, int N);
int NPos(const std::string &C, const std::string &S, int N);
std::string AddChar(char C, const std::string &S, int N);
std::string AddCharR(char C, const std::string &S, int N);
std::string LeftStr(const std::string &S, int N);
std::string RightStr(const std::string &S, int N);
// -1, 0 or 1 by the user's locale; CompText ignores case.
int CompStr(const std::string &S1, const std::string &S2);
int CompText(const std::string &S1, const std::string &S2);
std::string Copy2Symb(const std::string &S, char Symb);
std::string Copy2SymbDel(std::string &S, char Symb);
std::string Copy2Space(const std::string &S);
std::string Copy2SpaceDel(std::string &S);
std::string AnsiProperCase(const std::string &S, const TSysCharSet &WordDelims);
int WordCount(const std::string &S, const TSysCharSet &WordDelims);
int WordPosition(int N, const std::string &S, const TSysCharSet &WordDelims);
std::string ExtractWord(int N, const std::string &S, const TSysCharSet &WordDelims);
std::string ExtractWordPos(int N, const std::string &S, const TSysCharSet &WordDelims, int &Pos);
std::string ExtractDelimited(int N, const std::string &S, const TSysCharSet &Delims);
std::string ExtractSubstr(const std::string &S, int &Pos, const TSysCharSet &Delims);
bool IsWordPresent(const std::string &W, const std::string &S, const TSysCharSet &WordDelims);
std::string QuotedString(const std::string &S, char Quote);
std::string ExtractQuotedString(const std::string &S, char Quote);
std::string Numb2USA(const std::string &S);
std::string CenterStr(const std::string &S, int Len);
std::string Dec2Hex(std::int32_t N, std::uint8_t A);
std::string D2H(std::int32_t N, std::uint8_t A);
int Hex2Dec(const std::string &S);
int H2D(const std::string &S);
// Bases below 2 are outside what these accept: Dec2Numb gives "" and Numb2Dec 0 for them.
std::string Dec2Numb(std::int32_t N, std::uint8_t A, std::uint8_t B);
std::int32_t Numb2Dec(const std::string &S, std::uint8_t B);
int RomanToInt(const std::string &S);
std::string IntToRoman(int Value);
// A Spaces of 0 or less puts no blanks in.
std::string IntToBin(std::int32_t Value, int Digits, int Spaces);
int FindPart(const std::string &HelpWilds, const std::string &InputStr);
bool IsWild(const std::string &InputStr, const std::string &Wilds, bool IgnoreCase);
void XorString(const std::string &Key, const std::string &Src, std::string &Dest);
std::string XorEncode(const std::string &Key, const std::string &Source);
std::string XorDecode(const std::string &Key, const std::string &Source);

// The command-line parameters after the program name, as Windows-1252 bytes.
std::vector<std::string> CommandLineParams();
bool FindCmdLineSwitch(const std::string &Switch, const TSysCharSet &Chars, bool IgnoreCase);
bool FindCmdLineSwitch(const std::vector<std::string> &Params, const std::string &Switch,
                       const TSysCharSet &Chars, bool IgnoreCase);
std::string GetCmdLineArg(const std::string &Switch, const TSysCharSet &SwitchChars);
std::string GetCmdLineArg(const std::vector<std::string> &Params, const std::string &Switch,
                          const TSysCharSet &SwitchChars);

// Upper and lower case of Windows-1252 text, character by character.
std::string AnsiUpperCase(const std::string &S);
std::string AnsiLowerCase(const std::string &S);

// The class library's integer conversion: optional blanks in front, a sign, decimal digits or
// "$"/"0x" and hexadecimal digits (up to 32 bits); false for anything else or an overflow.
bool TryStrToInt(std::string_view S, std::int32_t &Value);

} // namespace kelpa::widgets
