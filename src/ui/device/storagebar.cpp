#include "ui/device/storagebar.h"

#include "ui/kit/kit.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

using namespace Qt::StringLiterals;

StorageBytes StorageBytes::of(qint64 total, qint64 available, const QList<Track> &deviceTracks)
{
    qint64 mp3 = 0, flac = 0;
    for (const Track &track : deviceTracks) {
        if (track.info.codec == u"MP3"_s)
            mp3 += track.bytes;
        else if (track.info.codec == u"FLAC"_s)
            flac += track.bytes;
    }
    return from(total, available, mp3, flac);
}

StorageBytes StorageBytes::from(qint64 total, qint64 available, qint64 mp3, qint64 flac)
{
    StorageBytes bytes;
    bytes.mp3 = mp3;
    bytes.flac = flac;
    bytes.other = std::max<qint64>(0, (total - available) - mp3 - flac);
    bytes.free = available;
    return bytes;
}

QList<StorageSegment> storageSegments(const StorageBytes &bytes, qint64 total, double barWidth)
{
    const double room = std::max(0.0, barWidth - 6);
    const double divisor = double(std::max<qint64>(total, 1));
    QList<StorageSegment> segments;
    double used = 0;
    const std::pair<StorageSegment::Kind, qint64> parts[] = {
        {StorageSegment::mp3, bytes.mp3},
        {StorageSegment::flac, bytes.flac},
        {StorageSegment::other, bytes.other},
        {StorageSegment::free, bytes.free},
    };
    for (const auto &[kind, value] : parts) {
        if (value <= 0)
            continue;
        double width = room * double(value) / divisor;
        width = std::clamp(width, 0.0, room - used);
        used += width;
        segments.append({kind, width});
    }
    return segments;
}

StorageBar::StorageBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(14);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StorageBar::setBytes(const StorageBytes &bytes, qint64 total)
{
    if (bytes == m_bytes && total == m_total)
        return;
    m_bytes = bytes;
    m_total = total;
    update();
}

QList<StorageSegment> StorageBar::segments() const
{
    return storageSegments(m_bytes, m_total, width());
}

QColor StorageBar::colorOf(StorageSegment::Kind kind, const QPalette &palette)
{
    switch (kind) {
    case StorageSegment::mp3: return kit::blue(palette);
    case StorageSegment::flac: return kit::isDark(palette) ? QColor(0xBF, 0x5A, 0xF2) : QColor(0xAF, 0x52, 0xDE);
    case StorageSegment::other: {
        QColor gray(0x8E, 0x8E, 0x93);
        gray.setAlphaF(0.5f);
        return gray;
    }
    case StorageSegment::free: {
        QColor c = kit::primaryText(palette);
        c.setAlphaF(0.07f);
        return c;
    }
    }
    return {};
}

void StorageBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    const QRectF bounds = rect();
    capsule.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    painter.setClipPath(capsule);
    double x = 0;
    for (const StorageSegment &segment : segments()) {
        painter.fillRect(QRectF(x, 0, segment.width, bounds.height()), colorOf(segment.kind, palette()));
        x += segment.width + spacing;
    }
}
