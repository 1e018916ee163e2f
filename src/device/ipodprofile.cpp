#include "device/ipodprofile.h"

using namespace Qt::StringLiterals;

namespace {

using Shape = IPodProfile::Shape;

// The video-generation case measures 103.5 × 61.8 mm; the quotient is kept as
// the double it computes to, so comparisons with it stay exact.
constexpr double videoRatio = 103.5 / 61.8;
constexpr double fourThirds = 4.0 / 3.0;
const QString noRockbox = u"Bez obsługi Rockbox"_s;

IPodProfile row(const QString &id, const QString &name, Shape shape, double ratio, double screenRatio,
                const QString &support, std::optional<QString> target, const QString &finish)
{
    return IPodProfile{id, name, shape, ratio, screenRatio, support, std::move(target), finish};
}

QList<IPodProfile> buildTable()
{
    const QString rockbox = u"Rockbox"_s;
    const QString classic = u"Rockbox · osobna instalacja Classic"_s;
    const std::nullopt_t none = std::nullopt;
    QList<IPodProfile> table{
        row(u"ipod1"_s, u"iPod 1. generacji"_s, Shape::early, 1.65, 1.25, rockbox, u"ipod1g2g"_s, u"white"_s),
        row(u"ipod2"_s, u"iPod 2. generacji"_s, Shape::early, 1.65, 1.25, rockbox, u"ipod1g2g"_s, u"white"_s),
        row(u"ipod3"_s, u"iPod 3. generacji"_s, Shape::buttons, 1.7, 1.25, rockbox, u"ipod3g"_s, u"white"_s),
        row(u"ipod4"_s, u"iPod 4. generacji · mono"_s, Shape::wheel, 1.65, 1.25, rockbox, u"ipod4g"_s, u"white"_s),
        row(u"photo"_s, u"iPod Photo / Color"_s, Shape::wheel, 1.65, 1.25, rockbox, u"ipodcolor"_s, u"white"_s),
        row(u"u24"_s, u"iPod U2 · 4. generacji"_s, Shape::wheel, 1.65, 1.25, u"Sprawdź wariant mono / Color"_s, none,
            u"u2"_s),
        row(u"video"_s, u"iPod Video · 5. generacji"_s, Shape::wheel, videoRatio, fourThirds, u"Rockbox · A1136"_s,
            u"ipodvideo"_s, u"white"_s),
        row(u"video55"_s, u"iPod Video · 5.5 Enhanced"_s, Shape::wheel, videoRatio, fourThirds, u"Rockbox · A1136"_s,
            u"ipodvideo"_s, u"white"_s),
        row(u"u25"_s, u"iPod U2 · Video"_s, Shape::wheel, videoRatio, fourThirds, u"Rockbox · ipodvideo"_s,
            u"ipodvideo"_s, u"u2"_s),
        row(u"classic6"_s, u"iPod classic · 6. generacji"_s, Shape::wheel, 1.68, fourThirds, classic, u"ipod6g"_s,
            u"silver"_s),
        row(u"classic65"_s, u"iPod classic · 120 GB"_s, Shape::wheel, 1.68, fourThirds, classic, u"ipod6g"_s,
            u"silver"_s),
        row(u"classic7"_s, u"iPod classic · 160 GB 2009"_s, Shape::wheel, 1.68, fourThirds, classic, u"ipod6g"_s,
            u"silver"_s),
        row(u"mini1"_s, u"iPod mini · 1. generacji"_s, Shape::mini, 1.8, 1.25, rockbox, u"ipodmini1g"_s, u"silver"_s),
        row(u"mini2"_s, u"iPod mini · 2. generacji"_s, Shape::mini, 1.8, 1.25, rockbox, u"ipodmini2g"_s, u"blue"_s),
        row(u"nano1"_s, u"iPod nano · 1. generacji"_s, Shape::nano, 2.33, 1.33, rockbox, u"ipodnano1g"_s, u"white"_s),
        row(u"nano2"_s, u"iPod nano · 2. generacji"_s, Shape::nano, 2.33, 1.33, rockbox, u"ipodnano2g"_s, u"green"_s),
        row(u"nano3"_s, u"iPod nano · 3. generacji"_s, Shape::nanoWide, 1.33, fourThirds,
            u"Port w rozwoju · sprawdź NAND i aktualną instrukcję"_s, u"ipodnano3g"_s, u"silver"_s),
        row(u"nano4"_s, u"iPod nano · 4. generacji"_s, Shape::nano, 2.53, 0.75, noRockbox, none, u"orange"_s),
        row(u"nano5"_s, u"iPod nano · 5. generacji"_s, Shape::nano, 2.53, 0.64, noRockbox, none, u"purple"_s),
        row(u"nano6"_s, u"iPod nano · 6. generacji"_s, Shape::squareTouch, 0.92, 1.0, noRockbox, none, u"blue"_s),
        row(u"nano7"_s, u"iPod nano · 7. generacji"_s, Shape::touch, 1.93, 0.56, noRockbox, none, u"green"_s),
        row(u"shuffle1"_s, u"iPod shuffle · 1. generacji"_s, Shape::shuffleStick, 3.36, 1.0, noRockbox, none,
            u"white"_s),
        row(u"shuffle2"_s, u"iPod shuffle · 2. generacji"_s, Shape::shuffleClip, 0.66, 1.0, noRockbox, none,
            u"silver"_s),
        row(u"shuffle3"_s, u"iPod shuffle · 3. generacji"_s, Shape::shuffleRemote, 2.58, 1.0, noRockbox, none,
            u"silver"_s),
        row(u"shuffle4"_s, u"iPod shuffle · 4. generacji"_s, Shape::shuffleClip, 0.92, 1.0, noRockbox, none,
            u"blue"_s),
    };
    for (int n = 1; n <= 7; ++n) {
        const bool early = n <= 4;
        // Later touch screens are 640 × 1136 pixels.
        table.append(row(u"touch"_s + QString::number(n), u"iPod touch · "_s + QString::number(n) + u". generacji"_s,
                         Shape::touch, early ? 1.85 : 2.1, early ? 2.0 / 3.0 : 640.0 / 1136.0, noRockbox, none,
                         early ? u"black"_s : u"blue"_s));
    }
    return table;
}

} // namespace

const QList<IPodProfile> &IPodProfile::all()
{
    // A function-local static is initialised exactly once, even under concurrent first use.
    static const QList<IPodProfile> table = buildTable();
    return table;
}

const IPodProfile &IPodProfile::placeholder()
{
    static const IPodProfile unknown = row(u"unknown"_s, u"Wybierz model iPoda"_s, Shape::unknown, 1.65, fourThirds,
                                           u"Model nierozpoznany"_s, std::nullopt, u"white"_s);
    return unknown;
}

IPodProfile IPodProfile::automatic(const std::optional<QString> &target)
{
    if (!target)
        return placeholder();
    // Rockbox once called the first nano simply "ipodnano".
    const QString wanted = *target == u"ipodnano"_s ? u"ipodnano1g"_s : *target;
    for (const IPodProfile &profile : all()) {
        if (profile.target && *profile.target == wanted)
            return profile;
    }
    return placeholder();
}
