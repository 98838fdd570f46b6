#include "editor/Licence.h"

#include "common/TempDir.h"
#include "engine/TOBRINEngine.h"

#include <gtest/gtest.h>

using namespace kelpa::editor;
using kelpa::engine::TOBRINEngine;

TEST(Licence, CaptionMarkIsTheFirstAfterTheFirstCharacter)
{
    struct Case { QString text; qsizetype at; };
    const QChar s(0xA7);
    for (const Case &c : {Case{QStringLiteral("no mark"), -1}, Case{QString(s) + "x", -1},
                          Case{QString(s) + "x" + s + "y" + s, 2}, Case{"ab" + QString(s), 2}})
        EXPECT_EQ(captionMarkPosition(c.text), c.at) << c.text.toStdString();
}

TEST(Licence, StoredDocumentDeciphersWithItsKey)
{
    kelpa::test::TempDir dir;
    const std::string name = dir.file("l.eco");
    const std::string text = "Licence\r\n\r\n\xa7 is free.\r\n";
    TOBRINEngine engine;
    engine.CipherId = TOBRINEngine::CipherLegacy;
    ASSERT_TRUE(engine.SaveToFile("key", name, reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
    const auto bytes = kelpa::test::readBytes(name);
    const std::string doc(bytes.begin(), bytes.end());
    EXPECT_EQ(licenceTextOf(doc, "key").substr(0, text.size() - 2), text.substr(0, text.size() - 2));
    EXPECT_EQ(licenceTextOf("too short", "key"), "");
    EXPECT_FALSE(licenceDocument().empty());
}
