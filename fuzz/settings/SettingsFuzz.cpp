// Any bytes as a settings file in each file's syntax, and as an integer text in each syntax:
// values lie within one line, written text reads back the same, numbers read back as written.
#include "platform/numbers/IntegerText.h"
#include "support/settings/SettingsText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kelpa;

namespace {

void check(std::string_view input, const SettingsSyntax &syntax)
{
    const SettingsText text = SettingsText::parse(input, syntax);
    const std::string written = text.toBytes();
    const SettingsText again = SettingsText::parse(written, syntax);
    if (again.toBytes() != written)
        std::abort();
    // The name of the first line, and names every file has.
    const std::size_t end = input.find_first_of("=\r\n");
    const std::string first(input.substr(0, end == std::string_view::npos ? input.size() : end));
    const bool lfOnly = syntax.lineEnds == SettingsSyntax::LineEnds::Lf;
    for (const std::string &name : {first, std::string("Dictionary"), std::string("Header")}) {
        const auto value = text.value(name);
        if (value != again.value(name))
            std::abort();
        if (!value)
            continue;
        if (value->size() > input.size() || value->find(lfOnly ? "\n" : "\r\n") != std::string::npos)
            std::abort();
        if (syntax.trimBlanks && !value->empty()
            && (static_cast<unsigned char>(value->front()) <= ' ' || static_cast<unsigned char>(value->back()) <= ' '))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    check(input, kPrintSettings);
    check(input, kCheckerSettings);
    check(input, SettingsSyntax{SettingsSyntax::LineEnds::Lf, false, true, sameAsciiName});

    for (const IntegerSyntax syntax : {IntegerSyntax::Decimal, IntegerSyntax::Prefixed,
                                       IntegerSyntax::PrefixedSigned, IntegerSyntax::PrefixedLeading}) {
        const auto n = parseInteger(input, syntax);
        if (!n || *n == INT32_MIN)
            continue;
        // Every syntax reads a decimal number as it is written.
        for (const IntegerSyntax other : {IntegerSyntax::Decimal, IntegerSyntax::Prefixed,
                                          IntegerSyntax::PrefixedSigned, IntegerSyntax::PrefixedLeading})
            if (parseInteger(std::to_string(*n), other) != n)
                std::abort();
    }
    return 0;
}
