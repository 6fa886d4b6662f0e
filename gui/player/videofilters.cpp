#include "videofilters.h"

namespace VideoFilters {

namespace {

bool isHdr(const QString &gamma)
{
    return gamma == QLatin1String("pq") || gamma == QLatin1String("hlg");
}

}

QString rotationFilter(int degrees)
{
    switch (((degrees % 360) + 360) % 360) {
    case 90: return QStringLiteral("lavfi=[transpose=clock]");
    case 180: return QStringLiteral("lavfi=[hflip,vflip]");
    case 270: return QStringLiteral("lavfi=[transpose=cclock]");
    default: return QString();
    }
}

// The software renderer shows HDR far too bright. Linear light scaled so that
// SDR white (203 cd/m²) is 1.0, BT.709 primaries, then brighter light clipped:
// the pictures HDR cameras make of ordinary scenes come out as the batch
// engine's (its BT.2390 curve only bends above that white).
QString toneMapFilter(const QString &gamma)
{
    return isHdr(gamma) ? QStringLiteral("lavfi=[zscale=t=linear:npl=203,format=gbrpf32le,zscale=p=bt709,"
                                         "tonemap=tonemap=clip:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p]")
                        : QString();
}

QString chain(const QStringList &filters)
{
    QStringList used;
    for (const QString &filter : filters)
        if (!filter.isEmpty())
            used << filter;
    return used.join(QLatin1Char(','));
}

bool needsEngineColours(const QString &gamma, const QString &primaries)
{
    return isHdr(gamma) || primaries == QLatin1String("bt.2020") || primaries == QLatin1String("display-p3")
        || primaries == QLatin1String("dci-p3");
}

}
