#pragma once

// The fixed table of iPod models: what the interface needs to name and draw each
// one, and how a device running Rockbox is matched to its model.

#include <QList>
#include <QString>
#include <optional>

struct IPodProfile {
    // Outline family of the case, which decides how the case is drawn.
    enum class Shape {
        early,
        buttons,
        wheel,
        mini,
        nano,
        nanoWide,
        touch,
        squareTouch,
        shuffleStick,
        shuffleClip,
        shuffleRemote,
        unknown,
    };

    QString id;                    // unique key, stored per device
    QString name;                  // Polish display name (translated when shown)
    Shape shape = Shape::unknown;
    double ratio = 1.65;           // case height ÷ case width
    double screenRatio = 4.0 / 3.0; // screen width ÷ screen height
    QString support;               // Polish note on Rockbox support
    std::optional<QString> target; // Rockbox target name, when Rockbox runs on it
    QString finish;                // default colour finish

    bool operator==(const IPodProfile &) const = default;

    // Every known model: 25 listed models, then iPod touch 1 to 7. Built once,
    // thread-safely, and never changed.
    static const QList<IPodProfile> &all();

    // The model of a Rockbox target name: the first entry with exactly that
    // target ("ipodnano" counts as "ipodnano1g"); the placeholder when there is
    // no target or no entry has it.
    static IPodProfile automatic(const std::optional<QString> &target);

    // "unknown": shown while no model is known. Not an entry of all().
    static const IPodProfile &placeholder();
};
