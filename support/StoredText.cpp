#include "support/StoredText.h"

#include "platform/codepage/CodePage.h"
#include "support/Scrambler.h"
#include "support/StoredTextsData.h"

namespace kelpa {

std::string UnscrambleStoredText(std::string_view stored)
{
    return scrambler::unscramble(stored);
}

std::string ScrambleText(std::string_view plain, std::string_view key, ScrambleForm form,
                         unsigned char keyXor)
{
    const auto f = form == ScrambleForm::Plain   ? scrambler::Form::Plain
                 : form == ScrambleForm::Keyed   ? scrambler::Form::Keyed
                                                 : scrambler::Form::KeyedXor;
    return scrambler::scramble(plain, key, f, keyXor);
}

std::string_view StoredTextBytes(StoredTextId id)
{
    const char *name = "";
    switch (id) {
    case StoredTextId::LaunchToken: name = "LaunchToken"; break;
    case StoredTextId::PrintModuleDownload: name = "PrintModuleDownload"; break;
    case StoredTextId::SpellCheckerDownload: name = "SpellCheckerDownload"; break;
    case StoredTextId::HomePage: name = "HomePage"; break;
    case StoredTextId::UpdatePage: name = "UpdatePage"; break;
    case StoredTextId::ProductTextA: name = "ProductTextA"; break;
    case StoredTextId::ProductTextB: name = "ProductTextB"; break;
    case StoredTextId::LicenceKey: name = "LicenceKey"; break;
    case StoredTextId::SpellCheckerCaption: name = "SpellCheckerCaption"; break;
    case StoredTextId::PrintModuleCaption: name = "PrintModuleCaption"; break;
    case StoredTextId::PrintModuleVersion: name = "PrintModuleVersion"; break;
    }
    for (int i = 0; i < storedtexts::tableSize; ++i)
        if (std::string_view(storedtexts::table[i].name) == name)
            return storedtexts::table[i].bytes;
    return {};
}

std::string StoredTextValue(StoredTextId id)
{
    return UnscrambleStoredText(StoredTextBytes(id));
}

QString StoredTextString(StoredTextId id)
{
    const std::u16string text = codepage::decode(StoredTextValue(id), codepage::Windows1252);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace kelpa
