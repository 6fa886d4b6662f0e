#pragma once

#include <QString>
#include <QStringList>

// The video filters the desktop player puts into libmpv's chain, and the one
// decision about which path makes a video's colours: libmpv's frame, or the
// engine decoding the frame once more. Pure functions of the stream's
// properties, shared by the player and its snapshot.
namespace VideoFilters {

// libmpv's software renderer cannot turn a picture by a quarter, so the turn
// the container asks for (clockwise degrees) is applied as a filter; empty
// when the picture is upright.
QString rotationFilter(int degrees);

// The filter that brings HDR (gamma "pq" or "hlg", libmpv's names) down to
// SDR on screen; empty for other videos.
QString toneMapFilter(const QString &gamma);

// The filters joined into one chain, the empty ones left out.
QString chain(const QStringList &filters);

// HDR transfer curves and wide gamuts, which libmpv tone-maps its own way:
// their snapshots come from the engine, which makes the batch's colours.
bool needsEngineColours(const QString &gamma, const QString &primaries);

}
