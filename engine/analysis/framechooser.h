#pragma once

#include "capture/framefetcher.h"
#include "capture/framescanner.h"

#include <QString>

// Chooses the frame an image takes near its position, for jobs that ask for
// more than the frame at it:
// - skipping blank frames: a blank frame gives way to the first frame after
//   it that is not blank within the window, else the last one before it;
//   when the whole window is blank the frame at the position stays;
// - the sharpest frame within some ms either side of the position (not a
//   blank one, when blank frames are skipped too).
// Frames are taken only from the job's stretch of the video, and every
// choice other than the frame at the position comes with a note that says so.
//
// Thread: made and used on one thread (a decoder's); abort() from any.
class FrameChooser : public FrameFetcher::Chooser
{
public:
    struct Settings {
        bool skipBlank = false;
        qint64 blankWindow = 2000;
        qint64 sharpest = 0;   // ms either side of the position; 0: the frame at it
        qint64 fromMs = 0;     // the job's stretch of the video
        qint64 toMs = 0;
    };

    FrameChooser(const QString &source, const Settings &settings);

    bool wantsFrameAt() const override { return m_settings.sharpest <= 0; }
    bool choose(qint64 ms, const media::VideoFrame &frameAt, media::VideoFrame *chosen, QString *note,
                QString *error) override;
    void abort() override { m_scanner.abort(); }

    // Whether every frame of the stretch is blank (looking at the frames
    // others are predicted from); false with the reason in error when the
    // video cannot be read.
    bool allBlank(bool *blank, QString *error);

private:
    struct Candidate {
        media::VideoFrame frame;
        qint64 ms = -1;
        bool isValid() const { return frame.isValid(); }
    };

    bool chooseSharpest(qint64 ms, Candidate *at, media::VideoFrame *chosen, QString *note, QString *error);
    void chooseNotBlank(qint64 ms, const Candidate &at, media::VideoFrame *chosen, QString *note);

    Settings m_settings;
    FrameScanner m_scanner;
};
