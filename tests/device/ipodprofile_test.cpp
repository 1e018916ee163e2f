#include "device/ipodprofile.h"

#include <QSet>
#include <thread>
#include <vector>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Shape = IPodProfile::Shape;

namespace {

struct Expected {
    const char16_t *id;
    const char16_t *name;
    Shape shape;
    double ratio;
    double screenRatio;
    const char16_t *support;
    const char16_t *target; // nullptr: none
    const char16_t *finish;
};

constexpr double video = 1.6747572815533982;
constexpr double fourThirds = 1.3333333333333333;
constexpr const char16_t *none = nullptr;
constexpr const char16_t *noRockbox = u"Bez obsługi Rockbox";
constexpr const char16_t *classic = u"Rockbox · osobna instalacja Classic";

const Expected table[] = {
    {u"ipod1", u"iPod 1. generacji", Shape::early, 1.65, 1.25, u"Rockbox", u"ipod1g2g", u"white"},
    {u"ipod2", u"iPod 2. generacji", Shape::early, 1.65, 1.25, u"Rockbox", u"ipod1g2g", u"white"},
    {u"ipod3", u"iPod 3. generacji", Shape::buttons, 1.7, 1.25, u"Rockbox", u"ipod3g", u"white"},
    {u"ipod4", u"iPod 4. generacji · mono", Shape::wheel, 1.65, 1.25, u"Rockbox", u"ipod4g", u"white"},
    {u"photo", u"iPod Photo / Color", Shape::wheel, 1.65, 1.25, u"Rockbox", u"ipodcolor", u"white"},
    {u"u24", u"iPod U2 · 4. generacji", Shape::wheel, 1.65, 1.25, u"Sprawdź wariant mono / Color", none, u"u2"},
    {u"video", u"iPod Video · 5. generacji", Shape::wheel, video, fourThirds, u"Rockbox · A1136", u"ipodvideo",
     u"white"},
    {u"video55", u"iPod Video · 5.5 Enhanced", Shape::wheel, video, fourThirds, u"Rockbox · A1136", u"ipodvideo",
     u"white"},
    {u"u25", u"iPod U2 · Video", Shape::wheel, video, fourThirds, u"Rockbox · ipodvideo", u"ipodvideo", u"u2"},
    {u"classic6", u"iPod classic · 6. generacji", Shape::wheel, 1.68, fourThirds, classic, u"ipod6g", u"silver"},
    {u"classic65", u"iPod classic · 120 GB", Shape::wheel, 1.68, fourThirds, classic, u"ipod6g", u"silver"},
    {u"classic7", u"iPod classic · 160 GB 2009", Shape::wheel, 1.68, fourThirds, classic, u"ipod6g", u"silver"},
    {u"mini1", u"iPod mini · 1. generacji", Shape::mini, 1.8, 1.25, u"Rockbox", u"ipodmini1g", u"silver"},
    {u"mini2", u"iPod mini · 2. generacji", Shape::mini, 1.8, 1.25, u"Rockbox", u"ipodmini2g", u"blue"},
    {u"nano1", u"iPod nano · 1. generacji", Shape::nano, 2.33, 1.33, u"Rockbox", u"ipodnano1g", u"white"},
    {u"nano2", u"iPod nano · 2. generacji", Shape::nano, 2.33, 1.33, u"Rockbox", u"ipodnano2g", u"green"},
    {u"nano3", u"iPod nano · 3. generacji", Shape::nanoWide, 1.33, fourThirds,
     u"Port w rozwoju · sprawdź NAND i aktualną instrukcję", u"ipodnano3g", u"silver"},
    {u"nano4", u"iPod nano · 4. generacji", Shape::nano, 2.53, 0.75, noRockbox, none, u"orange"},
    {u"nano5", u"iPod nano · 5. generacji", Shape::nano, 2.53, 0.64, noRockbox, none, u"purple"},
    {u"nano6", u"iPod nano · 6. generacji", Shape::squareTouch, 0.92, 1.0, noRockbox, none, u"blue"},
    {u"nano7", u"iPod nano · 7. generacji", Shape::touch, 1.93, 0.56, noRockbox, none, u"green"},
    {u"shuffle1", u"iPod shuffle · 1. generacji", Shape::shuffleStick, 3.36, 1.0, noRockbox, none, u"white"},
    {u"shuffle2", u"iPod shuffle · 2. generacji", Shape::shuffleClip, 0.66, 1.0, noRockbox, none, u"silver"},
    {u"shuffle3", u"iPod shuffle · 3. generacji", Shape::shuffleRemote, 2.58, 1.0, noRockbox, none, u"silver"},
    {u"shuffle4", u"iPod shuffle · 4. generacji", Shape::shuffleClip, 0.92, 1.0, noRockbox, none, u"blue"},
    {u"touch1", u"iPod touch · 1. generacji", Shape::touch, 1.85, 0.6666666666666666, noRockbox, none, u"black"},
    {u"touch2", u"iPod touch · 2. generacji", Shape::touch, 1.85, 0.6666666666666666, noRockbox, none, u"black"},
    {u"touch3", u"iPod touch · 3. generacji", Shape::touch, 1.85, 0.6666666666666666, noRockbox, none, u"black"},
    {u"touch4", u"iPod touch · 4. generacji", Shape::touch, 1.85, 0.6666666666666666, noRockbox, none, u"black"},
    {u"touch5", u"iPod touch · 5. generacji", Shape::touch, 2.1, 0.5633802816901409, noRockbox, none, u"blue"},
    {u"touch6", u"iPod touch · 6. generacji", Shape::touch, 2.1, 0.5633802816901409, noRockbox, none, u"blue"},
    {u"touch7", u"iPod touch · 7. generacji", Shape::touch, 2.1, 0.5633802816901409, noRockbox, none, u"blue"},
};

QString str(const char16_t *text) { return QString::fromUtf16(text); }

std::optional<QString> optional(const char16_t *text)
{
    return text ? std::optional<QString>(str(text)) : std::nullopt;
}

} // namespace

TEST(IPodProfileTable, holdsEveryModelInOrderWithItsValues)
{
    const QList<IPodProfile> &all = IPodProfile::all();
    ASSERT_EQ(all.size(), qsizetype(std::size(table)));
    for (qsizetype i = 0; i < all.size(); ++i) {
        const Expected &e = table[i];
        const IPodProfile &p = all[i];
        SCOPED_TRACE(p.id.toStdString());
        EXPECT_EQ(p.id, str(e.id));
        EXPECT_EQ(p.name, str(e.name));
        EXPECT_EQ(p.shape, e.shape);
        // Exact: the drawing compares screen ratios for equality.
        EXPECT_EQ(p.ratio, e.ratio);
        EXPECT_EQ(p.screenRatio, e.screenRatio);
        EXPECT_EQ(p.support, str(e.support));
        EXPECT_EQ(p.target, optional(e.target));
        EXPECT_EQ(p.finish, str(e.finish));
    }
}

TEST(IPodProfileTable, idsAreDistinctAndTheDotsAreMiddleDots)
{
    QSet<QString> ids;
    for (const IPodProfile &p : IPodProfile::all()) {
        ids.insert(p.id);
        // " · " is a middle dot between spaces, never a bullet or a full stop.
        EXPECT_FALSE(p.name.contains(u'•')) << p.name.toStdString();
        if (p.name.contains(u'·')) {
            EXPECT_TRUE(p.name.contains(u" · "_s)) << p.name.toStdString();
        }
    }
    EXPECT_EQ(ids.size(), IPodProfile::all().size());
    EXPECT_FALSE(ids.contains(u"unknown"_s));
}

TEST(IPodProfileTable, isTheSameListFromEveryThread)
{
    // First use may happen on several threads at once; all must see one table.
    std::vector<const QList<IPodProfile> *> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &IPodProfile::all(); });
    for (std::thread &thread : threads)
        thread.join();
    for (const QList<IPodProfile> *table : seen)
        EXPECT_EQ(table, &IPodProfile::all());
}

TEST(IPodProfilePlaceholder, hasItsOwnValues)
{
    const IPodProfile &p = IPodProfile::placeholder();
    EXPECT_EQ(p.id, u"unknown"_s);
    EXPECT_EQ(p.name, u"Wybierz model iPoda"_s);
    EXPECT_EQ(p.shape, Shape::unknown);
    EXPECT_EQ(p.ratio, 1.65);
    EXPECT_EQ(p.screenRatio, fourThirds);
    EXPECT_EQ(p.support, u"Model nierozpoznany"_s);
    EXPECT_EQ(p.target, std::nullopt);
    EXPECT_EQ(p.finish, u"white"_s);
}

TEST(IPodProfileAutomatic, matchesTheFirstEntryOfATarget)
{
    const struct {
        std::optional<QString> target;
        const char16_t *id;
    } cases[] = {
        {u"ipod1g2g"_s, u"ipod1"},
        {u"ipod3g"_s, u"ipod3"},
        {u"ipod4g"_s, u"ipod4"},
        {u"ipodcolor"_s, u"photo"},
        {u"ipodvideo"_s, u"video"}, // never video55 or u25
        {u"ipod6g"_s, u"classic6"},
        {u"ipodmini1g"_s, u"mini1"},
        {u"ipodmini2g"_s, u"mini2"},
        {u"ipodnano1g"_s, u"nano1"},
        {u"ipodnano"_s, u"nano1"},
        {u"ipodnano2g"_s, u"nano2"},
        {u"ipodnano3g"_s, u"nano3"},
        // Anything else is not recognised: no trimming, no case folding.
        {std::nullopt, u"unknown"},
        {u""_s, u"unknown"},
        {u"IPODVIDEO"_s, u"unknown"},
        {u"ipodvideo "_s, u"unknown"},
        {u" ipodvideo"_s, u"unknown"},
        {u"ipodnano "_s, u"unknown"},
        {u"ipodnano4g"_s, u"unknown"},
        {u"sansae200"_s, u"unknown"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target.value_or(u"<none>"_s).toStdString());
        const IPodProfile result = IPodProfile::automatic(c.target);
        EXPECT_EQ(result.id, str(c.id));
        if (result.id == u"unknown"_s) {
            EXPECT_EQ(result, IPodProfile::placeholder());
        }
    }
}

TEST(IPodProfileAutomatic, neverChoosesAModelWithoutTarget)
{
    // Models without a target are chosen only by their id: no text reaches
    // them, not even their own id, name or support note, and every text that
    // is a known target gives a model of exactly that target.
    QStringList texts{u"ipodnano"_s};
    for (const IPodProfile &p : IPodProfile::all()) {
        texts << p.id << p.name << p.support << p.finish;
        if (p.target)
            texts << *p.target << p.target->toUpper();
    }
    QSet<QString> reachable;
    for (const QString &text : std::as_const(texts)) {
        SCOPED_TRACE(text.toStdString());
        const IPodProfile result = IPodProfile::automatic(text);
        EXPECT_TRUE(result.target || result == IPodProfile::placeholder()) << result.id.toStdString();
        if (result.target) {
            EXPECT_EQ(*result.target, text == u"ipodnano"_s ? u"ipodnano1g"_s : text);
            reachable.insert(result.id);
        }
    }
    for (const IPodProfile &p : IPodProfile::all()) {
        if (!p.target) {
            EXPECT_FALSE(reachable.contains(p.id)) << p.id.toStdString();
        }
    }
    EXPECT_EQ(reachable.size(), 11);
}
