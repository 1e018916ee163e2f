#pragma once

// The whole picture behind a track's cover, read as the transfer reads it.

#include "media/records.h"

#include <QByteArray>

namespace fixtures {

// The whole bytes of the track's cover; empty without one (or when they can
// no longer be read).
inline QByteArray coverBytes(const Track &track)
{
    return CoverSource::of(track).bytes().value_or(QByteArray());
}

} // namespace fixtures
