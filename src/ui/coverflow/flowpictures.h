#pragma once

// The pictures Cover Flow draws, made ahead of the frames that show them.
//
// Each cover becomes one "sprite" at the current cover size: its shadow, the
// picture clipped to a rounded square and the upper part of its mirrored,
// fading reflection, exactly as one item of the stage shows them before the
// perspective is applied. A frame then only draws nine sprites; nothing is
// blurred, masked or decoded while drawing.
//
// Sprites are made lazily on worker threads, three at a time, for the items
// around the centre (decoded from the artwork data at the size they are shown
// at, upright by their orientation tag) and kept within a memory budget, dropping those
// furthest from the centre first. The shadow, the placeholder and the glow
// are made once per size.

#include "ui/coverflow/flowalbum.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSizeF>
#include <atomic>
#include <deque>
#include <memory>

namespace flowpictures {

// The artwork decoded so that it covers a square of `side` pixels (its shorter
// side at least `side`, its longer side at most 640), upright; null when the
// data is not a picture.
QImage decodeCover(const QByteArray &bytes, int side);

// The face of a cover: the picture filling a square of `side` pixels (aspect
// ratio kept, the overflow cut off), clipped to a rounded square.
QImage face(const QImage &picture, int side, double dpr);

// The face of an item without a picture: indigo to translucent blue with a disc.
QImage placeholderFace(int side, double dpr);

// The face drawn while the picture is still being made: a plain dark square.
QImage pendingFace(int side, double dpr);

// The soft shadow of a face (black at 0.65, blur radius 10, 10 points down),
// `shadowMargin(dpr)` pixels larger than the face on every side.
QImage shadow(int side, double dpr);
int shadowMargin(double dpr);

// One item as the stage shows it unrotated: side × round(side × 1.38) pixels
// holding the shadow, the face and the top of its reflection.
QImage sprite(const QImage &face, const QImage &shadow, double dpr);

// A sprite together with the two views of it that the sides show: turned
// away and scaled as an item resting left (0) or right (1) of the centre,
// made once so that a frame only moves them.
struct Sprite {
    QImage flat;
    QImage warped[2];
    QPoint warpedAt[2]; // top left of each, in pixels from the item's centre
    bool isNull() const { return flat.isNull(); }
    qint64 bytes() const { return flat.sizeInBytes() + warped[0].sizeInBytes() + warped[1].sizeInBytes(); }
};
Sprite withSideViews(const QImage &flat);

// The blue glow under the covers for a stage of that size, in device pixels,
// together with where it goes in stage coordinates.
struct Glow {
    QImage image;
    QRectF rect;
};
Glow glow(QSizeF stage, double cover, double dpr);

// Blurs the picture's pixels (premultiplied ARGB) with three box passes of
// the given radius in each direction, close to a Gaussian of that sigma.
void blur(QImage &image, int radius);

} // namespace flowpictures

class FlowPictures : public QObject
{
    Q_OBJECT

public:
    // How far from the centre sprites are made ahead.
    static constexpr int window = 6;
    static constexpr qint64 defaultBudget = 160LL * 1024 * 1024;

    explicit FlowPictures(QObject *parent = nullptr);
    ~FlowPictures() override;

    // A new list of items (a rebuild); sprites of covers that are still shown stay.
    void setItems(const QList<FlowAlbum> &items);
    // The cover size in points and the screen's pixel ratio; a change makes
    // the sprites again (the old ones are drawn scaled until then).
    void setCoverSize(double cover, double dpr);
    // The centred position: sprites are made for the items around it.
    void setCentre(int index);
    void setBudget(qint64 bytes);

    // The sprite to draw for the item at `position`: its own when made (maybe
    // at an earlier size), the placeholder's for an item without a picture or
    // with a broken one, the pending one while it is being made.
    flowpictures::Sprite spriteFor(int position) const;
    // True when the item's own sprite is made at the current size, or it needs none.
    bool isReady(int position) const;

    qint64 bytes() const { return m_bytes; }
    qsizetype jobsRunning() const { return m_running; }
    int coverPixels() const { return m_side; }

signals:
    // A sprite arrived: the stage draws again.
    void ready();

private:
    struct Entry {
        CoverSource source; // keeps the key's cover alive (see FlowAlbum::artworkKey)
        flowpictures::Sprite sprite;
        int side = 0;      // the size the sprite was made at
        bool broken = false;
        bool pending = false;
        quint64 used = 0;
    };
    struct Shared {
        std::atomic<int> centre{0};
        std::atomic<int> generation{0};
    };
    void request();
    void startJobs();
    void trim();
    const Entry *entryFor(int position) const;

    QList<FlowAlbum> m_items;
    QHash<quintptr, Entry> m_entries;
    std::shared_ptr<Shared> m_shared;
    int m_centre = 0;
    int m_side = 0;
    double m_dpr = 1;
    QImage m_shadow;
    flowpictures::Sprite m_placeholder;
    flowpictures::Sprite m_pending;
    qint64 m_bytes = 0;
    qint64 m_budget = defaultBudget;
    qsizetype m_running = 0;
    std::deque<int> m_queue; // positions still to make, nearest first
    mutable quint64 m_clock = 0;
};
