#include "framechooser.h"

#include "analysis/picturescores.h"
#include "analysis/smallpicture.h"

#include <QCoreApplication>

namespace {

bool isBlank(const media::VideoFrame &frame)
{
    return PictureScores::isBlank(SmallPicture::fromFrame(frame));
}

QString tr(const char *text)
{
    return QCoreApplication::translate("FrameChooser", text);
}

}

FrameChooser::FrameChooser(const QString &source, const Settings &settings)
    : m_settings(settings)
    , m_scanner(source)
{
}

bool FrameChooser::choose(qint64 ms, const media::VideoFrame &frameAt, media::VideoFrame *chosen, QString *note,
                          QString *error)
{
    if (m_settings.sharpest <= 0 && (!m_settings.skipBlank || !isBlank(frameAt))) {
        *chosen = frameAt;
        return true;
    }
    // Only now the decoder of its own: most frames are not blank.
    if (!m_scanner.open()) {
        *error = m_scanner.errorString();
        return false;
    }
    Candidate at { frameAt, frameAt.isValid() ? m_scanner.timeOf(frameAt) : -1 };
    if (m_settings.sharpest > 0 && chooseSharpest(ms, &at, chosen, note, error))
        return true;
    if (!error->isEmpty())
        return false;
    chooseNotBlank(ms, at, chosen, note);
    return true;
}

/*
 * Every frame of the window is decoded and the one of most detail taken,
 * passing over blank ones when they are skipped. The frame at the position
 * is the first at or after it, else (past the last frame) the last one
 * before it. False with no error when every frame of the window is blank:
 * then *at is the frame at the position, for the search that follows.
 */
bool FrameChooser::chooseSharpest(qint64 ms, Candidate *at, media::VideoFrame *chosen, QString *note, QString *error)
{
    const qint64 from = qMax(m_settings.fromMs, ms - m_settings.sharpest);
    const qint64 to = qMin(m_settings.toMs, ms + m_settings.sharpest);
    Candidate best;
    float bestDetail = -1.0f;
    Candidate last;
    const auto visit = [&](const media::VideoFrame &frame, qint64 time) {
        if (!at->isValid() && time >= ms)
            *at = { frame, time };
        last = { frame, time };
        const SmallPicture picture = SmallPicture::fromFrame(frame);
        if ((!m_settings.skipBlank || !PictureScores::isBlank(picture)) && picture.detail() > bestDetail) {
            best = { frame, time };
            bestDetail = picture.detail();
        }
        return true;
    };
    if (!m_scanner.scan(from, to, FrameScanner::AllFrames, visit)) {
        *error = QStringLiteral("Cannot extract frame at position %1: %2").arg(ms).arg(m_scanner.errorString());
        return false;
    }
    // Past the last frame, or a window between two frames: the last frame before it.
    if (!last.isValid() && !m_scanner.scan(qMax<qint64>(0, from - 2000), to, FrameScanner::AllFrames, visit)) {
        *error = QStringLiteral("Cannot extract frame at position %1: %2").arg(ms).arg(m_scanner.errorString());
        return false;
    }
    if (!at->isValid())
        *at = last;
    if (!at->isValid()) {
        *error = QStringLiteral("Cannot extract frame at position %1: no frame decoded").arg(ms);
        return false;
    }
    if (!best.isValid())
        return false;
    *chosen = best.frame;
    if (best.ms != at->ms)
        *note = tr("%1 ms: took the sharpest frame, at %2 ms").arg(ms).arg(best.ms);
    return true;
}

void FrameChooser::chooseNotBlank(qint64 ms, const Candidate &at, media::VideoFrame *chosen, QString *note)
{
    Candidate found;
    m_scanner.scan(at.ms + 1, qMin(m_settings.toMs, ms + m_settings.blankWindow), FrameScanner::AllFrames,
                   [&](const media::VideoFrame &frame, qint64 time) {
        if (isBlank(frame))
            return true;
        found = { frame, time };
        return false;
    });
    if (!found.isValid()) {
        m_scanner.scan(qMax(m_settings.fromMs, ms - m_settings.blankWindow), qMin(ms, at.ms) - 1,
                       FrameScanner::AllFrames, [&](const media::VideoFrame &frame, qint64 time) {
            if (!isBlank(frame))
                found = { frame, time };
            return true;
        });
    }
    if (found.isValid()) {
        *chosen = found.frame;
        *note = tr("%1 ms is blank; took %2 ms").arg(ms).arg(found.ms);
    } else {
        *chosen = at.frame;
        *note = tr("%1 ms is blank, and so is every frame within %2 ms; took it").arg(ms).arg(m_settings.blankWindow);
    }
}

bool FrameChooser::allBlank(bool *blank, QString *error)
{
    *blank = true;
    const bool scanned = m_scanner.scan(m_settings.fromMs, m_settings.toMs, FrameScanner::ReferenceFrames,
                                        [&](const media::VideoFrame &frame, qint64) {
        *blank = isBlank(frame);
        return *blank;
    });
    if (!scanned)
        *error = m_scanner.errorString();
    return scanned;
}
