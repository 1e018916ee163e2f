#pragma once

// The device's capacity as one bar: MP3 music, FLAC music, everything else that
// is used, and free space, each a share of the volume's total. The widths are
// worked out by a pure function so that every corner (an unread library, a
// full or empty device, a total of 0) can be checked without drawing.

#include "media/records.h"

#include <QList>
#include <QWidget>

struct StorageBytes {
    qint64 mp3 = 0;
    qint64 flac = 0;
    qint64 other = 0; // used space that is neither MP3 nor FLAC music, never below 0
    qint64 free = 0;

    bool operator==(const StorageBytes &) const = default;

    // MP3 and FLAC are told by their codec names exactly; every other codec
    // (ALAC, AAC…) counts as other bytes.
    static StorageBytes of(qint64 total, qint64 available, const QList<Track> &deviceTracks);
    // The same from sums made beforehand.
    static StorageBytes from(qint64 total, qint64 available, qint64 mp3, qint64 flac);
};

struct StorageSegment {
    enum Kind { mp3, flac, other, free };
    Kind kind;
    double width; // logical pixels, 0 … the bar's width
    bool operator==(const StorageSegment &) const = default;
};

// Left to right, the segments whose bytes are above 0: each (barWidth − 6) ×
// bytes ÷ max(total, 1) wide, worked out in floating point and cut to the room
// the bar has left, so no total (0, or smaller than the music) can overflow it.
QList<StorageSegment> storageSegments(const StorageBytes &bytes, qint64 total, double barWidth);

class StorageBar : public QWidget
{
    Q_OBJECT
public:
    explicit StorageBar(QWidget *parent = nullptr);

    void setBytes(const StorageBytes &bytes, qint64 total);
    const StorageBytes &bytes() const { return m_bytes; }
    QList<StorageSegment> segments() const; // at the current width

    static constexpr double spacing = 2;
    static QColor colorOf(StorageSegment::Kind kind, const QPalette &palette);

    QSize sizeHint() const override { return {300, 14}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    StorageBytes m_bytes;
    qint64 m_total = 0;
};
