#include "platform/defaults.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QChar nul(u'\0');

// Keys as the application builds them: fixed names, device paths, SHA-256 hex,
// and characters that settings files treat specially.
QStringList awkwardKeys()
{
    return {
        u"appLanguage"_s,
        u"deviceDescription-/media/root/IPOD"_s,
        u"appearance-/run/media/ja/Mój iPod"_s,
        u"theme-preview-9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"_s,
        u"back\\slash"_s,
        u"100%"_s,
        u"a=b;c#d"_s,
        u"[group]"_s,
        u"with space "_s,
        u"nul"_s + nul + u"inside"_s,
    };
}

class DefaultsTest : public ::testing::Test
{
protected:
    void SetUp() override { Defaults::clear(); }
    void TearDown() override { Defaults::clear(); }
};

} // namespace

TEST_F(DefaultsTest, StringsRoundTripAndPersistAcrossReload)
{
    const QStringList values{u"pl"_s, u""_s, u"Zażółć gęślą jaźń"_s, u"a, b"_s, u" padded "_s,
                             u"@Invalid()"_s, u"line\nbreak"_s, u"nul"_s + nul + u"value"_s, u"/a/b"_s, u"\"quoted\""_s};
    const QStringList keys = awkwardKeys();
    for (qsizetype i = 0; i < keys.size(); ++i)
        Defaults::setString(keys[i], values[i % values.size()]);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "in memory" : "after reload");
        for (qsizetype i = 0; i < keys.size(); ++i) {
            EXPECT_TRUE(Defaults::contains(keys[i])) << keys[i].toStdString();
            EXPECT_EQ(Defaults::string(keys[i]), values[i % values.size()]) << keys[i].toStdString();
        }
        Defaults::reload();
    }
    // Every value too, under one key.
    for (const QString &value : values) {
        Defaults::setString(u"appLanguage"_s, value);
        Defaults::reload();
        EXPECT_EQ(Defaults::string(u"appLanguage"_s), value);
    }
}

TEST_F(DefaultsTest, ListsRoundTripIncludingEmptyAndSingle)
{
    const QList<QStringList> lists{
        {},
        {u"/home/ja/Muzyka"_s},
        {u""_s},
        {u"/a, b"_s, u"/c"_s, u"Żółć"_s},
        {u"x"_s + nul + u"y"_s, u"@Invalid()"_s},
    };
    for (const QStringList &list : lists) {
        Defaults::setStringList(u"libraryPaths"_s, list);
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), list);
        Defaults::reload();
        EXPECT_EQ(Defaults::stringList(u"libraryPaths"_s), list);
    }
}

TEST_F(DefaultsTest, MapsKeepKeysWithNulAndSlash)
{
    const QMap<QString, QString> map{
        {u"Artist"_s + nul + u"Album"_s + nul + u"/music/Artist/Album"_s, u"/cache/Artwork/ab.jpg"_s},
        {u"release"_s + nul + u"/m/Release"_s, u"https://musicbrainz.org/release-group/x"_s},
        {u"żółć"_s, u""_s},
    };
    Defaults::setStringMap(u"artworkOverrides"_s, map);
    Defaults::setStringMap(u"coverSources"_s, {});
    EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), map);
    Defaults::reload();
    EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), map);
    EXPECT_EQ(Defaults::stringMap(u"coverSources"_s), (QMap<QString, QString>{}));
}

TEST_F(DefaultsTest, ABadMapValueDropsOnlyItsOwnEntry)
{
    struct Case {
        const char *stored;
        std::optional<QMap<QString, QString>> expected;
    };
    const Case cases[] = {
        {R"({"a":"1","b":2,"c":"3"})", QMap<QString, QString>{{u"a"_s, u"1"_s}, {u"c"_s, u"3"_s}}},
        {R"({"a":null,"b":["x"],"c":{"d":"e"},"f":true,"g":"ok"})", QMap<QString, QString>{{u"g"_s, u"ok"_s}}},
        {R"({"a":5})", QMap<QString, QString>{}},
        // Not a map at all: absent, as before.
        {R"(["a","b"])", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const Case &c : cases) {
        Defaults::setString(u"artworkOverrides"_s, QString::fromUtf8(c.stored));
        EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), c.expected) << c.stored;
        Defaults::reload();
        EXPECT_EQ(Defaults::stringMap(u"artworkOverrides"_s), c.expected) << c.stored;
    }
}

TEST_F(DefaultsTest, NumbersAndBooleans)
{
    const qint64 integers[] = {0, -1, 180, std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    for (qint64 value : integers) {
        Defaults::setInteger(u"tileSize"_s, value);
        EXPECT_EQ(Defaults::integer(u"tileSize"_s), value);
        Defaults::reload();
        EXPECT_EQ(Defaults::integer(u"tileSize"_s), value);
    }
    const double numbers[] = {0.1, -2.5, 1e300, 0.6};
    for (double value : numbers) {
        Defaults::setNumber(u"volume"_s, value);
        EXPECT_EQ(Defaults::number(u"volume"_s), value);
        Defaults::reload();
        EXPECT_EQ(Defaults::number(u"volume"_s), value);
    }
    for (bool value : {true, false}) {
        Defaults::setBoolean(u"flag"_s, value);
        EXPECT_EQ(Defaults::boolean(u"flag"_s), value);
        Defaults::reload();
        EXPECT_EQ(Defaults::boolean(u"flag"_s), value);
    }
    Defaults::setString(u"flag"_s, u"maybe"_s);
    EXPECT_FALSE(Defaults::boolean(u"flag"_s).has_value());
    EXPECT_FALSE(Defaults::integer(u"flag"_s).has_value());
}

TEST_F(DefaultsTest, RemoveAndClear)
{
    const QString key = u"deviceDescription-/media/root/IPOD"_s;
    Defaults::setString(key, u"x"_s);
    Defaults::setString(u"appLanguage"_s, u"en"_s);
    Defaults::remove(key);
    EXPECT_FALSE(Defaults::contains(key));
    Defaults::reload();
    EXPECT_FALSE(Defaults::string(key).has_value());
    EXPECT_EQ(Defaults::string(u"appLanguage"_s), u"en"_s);

    Defaults::clear();
    EXPECT_FALSE(Defaults::contains(u"appLanguage"_s));
    Defaults::reload();
    EXPECT_FALSE(Defaults::contains(u"appLanguage"_s));
    EXPECT_FALSE(Defaults::stringList(u"libraryPaths"_s).has_value());
    EXPECT_FALSE(Defaults::stringMap(u"coverSources"_s).has_value());
}

TEST_F(DefaultsTest, RapidAssignmentsReachTheFileInOrder)
{
    // Assignments return before the file is written; the file must still end
    // with the last value of each key, and removals must not be overtaken.
    for (int i = 0; i < 500; ++i) {
        Defaults::setNumber(u"tileSize"_s, 100 + i);
        Defaults::setString(u"sortMode"_s, QString::number(i));
        if (i % 2)
            Defaults::remove(u"viewMode"_s);
        else
            Defaults::setString(u"viewMode"_s, u"Albumy"_s);
    }
    EXPECT_EQ(Defaults::number(u"tileSize"_s), 599.0); // the in-memory copy answers at once
    Defaults::reload();
    EXPECT_EQ(Defaults::number(u"tileSize"_s), 599.0);
    EXPECT_EQ(Defaults::string(u"sortMode"_s), u"499"_s);
    EXPECT_FALSE(Defaults::contains(u"viewMode"_s));
}
