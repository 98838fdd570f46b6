// Build step: turns the licence text into the OBRIN 3.0 document that the About box reads, and
// writes it out as a C++ array.  Usage: MakeLicence <licence.txt> <out.cpp>
#include "engine/TOBRINEngine.h"
#include "support/StoredText.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using kelpa::engine::TOBRINEngine;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: MakeLicence <licence.txt> <out.cpp>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string key = kelpa::StoredTextValue(kelpa::StoredTextId::LicenceKey);
    const std::string temp = std::string(argv[2]) + ".eco";
    TOBRINEngine engine;
    engine.CipherId = TOBRINEngine::CipherLegacy;
    engine.ApplicationTitle = "Kelpa";
    if (!engine.SaveToFile(key, temp, reinterpret_cast<const std::uint8_t *>(text.data()), text.size())) {
        std::fprintf(stderr, "engine error %d\n", engine.ErrorCode);
        return 1;
    }
    std::ifstream doc(temp, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(doc), std::istreambuf_iterator<char>()};
    doc.close();
    std::remove(temp.c_str());
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "// Generated from the licence text; do not edit.\n";
    out << "extern const unsigned char kLicenceDocument[];\nextern const unsigned long kLicenceDocumentSize;\n";
    out << "const unsigned char kLicenceDocument[] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out << (i % 16 == 0 ? "\n" : " ") << static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << ',';
    out << "0};\nconst unsigned long kLicenceDocumentSize = " << bytes.size() << "ul;\n";
    return out.good() ? 0 : 1;
}
