#include "GameFixtures.h"
#include "game/CaseFold.h"
#include "game/WineRegistry.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const std::string Key = "Software\\Classes\\.wotreplay\\DefaultIcon";

TRegistryLookup Find(const std::string& text, TRegistryValue& v, const std::string& name = "")
{
    return FindRegistryValue(text, Key, name, v);
}

TEST(WineRegistry, StringsRoundTripThroughWineEscapes)
{
    const std::string values[] = {
        "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0",
        "C:\\Игры\\Мир танков\\WorldOfTanks.exe",  // \x escapes, one before a hex digit
        "D:\\Spiele\\Größe 2\\a.exe",
        "emoji \xF0\x9F\x98\x80 pair",             // a surrogate pair of escapes
    };
    for (const std::string& value : values) {
        const std::string text = TWineRegFile(false).Key(Key).String("", value).Text();
        TRegistryValue v;
        ASSERT_EQ(Find(text, v), TRegistryLookup::Found) << text;
        EXPECT_EQ(v.Type, RegSz);
        EXPECT_EQ(v.Text, value) << text;
    }
}

TEST(WineRegistry, EscapesWineWritesByHand)
{
    TRegistryValue v;
    const std::string text = TWineRegFile(false)
                                 .Key(Key)
                                 .Raw("@=\"tab\\there\\x41\\101\\\\\\\"end\\0cut off\"")
                                 .Text();
    ASSERT_EQ(Find(text, v), TRegistryLookup::Found);
    EXPECT_EQ(v.Text, "tab\there" "AA\\\"end");  // cut at the zero character
}

TEST(WineRegistry, NamesCompareWithoutCase)
{
    const std::string text = TWineRegFile(true)
                                 .Key("software\\CLASSES\\.WotReplay\\defaulticon")
                                 .String("Other", "named")
                                 .String("", "default")
                                 .Text();
    TRegistryValue v;
    ASSERT_EQ(Find(text, v), TRegistryLookup::Found);
    EXPECT_EQ(v.Text, "default");
    ASSERT_EQ(Find(text, v, "OTHER"), TRegistryLookup::Found);
    EXPECT_EQ(v.Text, "named");
    EXPECT_EQ(Find(text, v, "absent"), TRegistryLookup::NoValue);
    // A key whose name only starts like the wanted one is another key.
    const std::string longer = TWineRegFile(true).Key(Key + "\\Sub").String("", "x").Text();
    EXPECT_EQ(Find(longer, v), TRegistryLookup::NoKey);
    // Cyrillic folds too, but an overlong form of a letter is not that letter.
    EXPECT_TRUE(SameTextNoCase("ДЕФОЛТ", "дефолт"));
    EXPECT_FALSE(SameTextNoCase("\xE0\x90\x94", "\xD0\x94"));
}

TEST(WineRegistry, ValueTypes)
{
    struct TCase {
        std::string Line;
        uint32_t Type;
        std::string Text;
    } cases[] = {
        {"@=str(2):\"%ProgramFiles%\\\\x.exe\"", RegExpandSz, "%ProgramFiles%\\x.exe"},
        {"@=str(7):\"a\\0b\\0\"", RegMultiSz, "a"},
        {"@=dword:00000001", RegDword, ""},
        {"@=hex:01,02,03", RegBinary, ""},
        {"@=hex(7):41,00,00,00,\\\n  00,00", RegMultiSz, ""},
    };
    for (const TCase& c : cases) {
        TRegistryValue v;
        const std::string text = TWineRegFile(false).Key(Key).Raw(c.Line).Text();
        ASSERT_EQ(Find(text, v), TRegistryLookup::Found) << c.Line;
        EXPECT_EQ(v.Type, c.Type) << c.Line;
        EXPECT_EQ(v.Text, c.Text) << c.Line;
    }
}

TEST(WineRegistry, MalformedInputFindsNothing)
{
    TRegistryValue v;
    const std::string good = TWineRegFile(false).Key(Key).String("", "x").Text();
    EXPECT_EQ(Find(good.substr(good.find('\n') + 1), v), TRegistryLookup::NoKey);  // no header
    EXPECT_EQ(Find(TWineRegFile(false).Key(Key).Raw("@=\"unterminated").Text(), v), TRegistryLookup::NoValue);
    EXPECT_EQ(Find(TWineRegFile(false).Raw("[Software\\\\Classes\\\\.wotreplay\\\\DefaultIcon").Raw("@=\"x\"").Text(), v),
              TRegistryLookup::NoKey);
    EXPECT_EQ(Find(TWineRegFile(false).Key(Key).Raw("@=weird:1").Raw("@=\"second\"").Text(), v),
              TRegistryLookup::Found);
    EXPECT_EQ(v.Text, "second");

    std::mt19937 random(7);
    std::string garbage = TWineRegFile(false).Text();
    for (int i = 0; i < 1 << 20; ++i)
        garbage += static_cast<char>(random());
    garbage += "\n[" + Key + "]\n@=\"";  // a broken tail after the noise
    EXPECT_NE(Find(garbage, v), TRegistryLookup::Found);
}

TEST(WineRegistry, ReadsFilesUpToTheCap)
{
    TTempFolder folder;
    const std::string path = folder.Path() + "/system.reg";
    WriteFileBytes(path, TWineRegFile(false).Key(Key).String("", "value").Text());
    TRegistryValue v;
    ASSERT_EQ(ReadRegistryValue(path, Key, "", v), TRegistryLookup::Found);
    EXPECT_EQ(v.Text, "value");
    std::string huge(MaxRegistryFileSize + 1, ';');
    WriteFileBytes(path, "WINE REGISTRY Version 2\n" + huge);
    EXPECT_THROW(ReadRegistryValue(path, Key, "", v), std::exception);
}

}  // namespace
