#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

class VideoInfo;

// One image that shows a video at a glance: a header with the video's
// details over a grid of its frames, each frame whole at the video's display
// aspect (never cut) with its time under it.
//
// Frames are reduced to their cell as they arrive and drawn at once; only the
// sheet is kept, so a sheet of a long 4K video takes no more memory than one
// of a short clip. The times are drawn by image(), once it is known whether
// two frames fall in one second (then every time shows its milliseconds).
//
// Not thread-safe; painting text needs a QGuiApplication.
class ContactSheet
{
    Q_DECLARE_TR_FUNCTIONS(ContactSheet)

public:
    struct Layout {
        int columns = 4;
        int rows = 4;
        int width = 1600;   // of the whole sheet, in pixels
        int spacing = 8;    // between the cells and around them, in pixels
        QColor background = QColor(0x20, 0x20, 0x20);
    };

    // Limits of a layout; what layoutError() checks.
    static constexpr int MaxColumns = 20;
    static constexpr int MaxRows = 100;
    static constexpr int MinWidth = 200;
    static constexpr int MaxWidth = 8192;
    static constexpr int MaxSpacing = 100;

    // Why a sheet of layout for a video shown at displaySize cannot be made
    // (too many cells, too small, too large to hold); empty when it can.
    static QString layoutError(const Layout &layout, const QSize &displaySize);

    // An empty sheet for the video, with its header drawn. The layout must
    // pass layoutError().
    ContactSheet(const Layout &layout, const VideoInfo &video);

    const Layout &layout() const { return m_layout; }
    int cellCount() const { return m_layout.columns * m_layout.rows; }
    // Where the picture of cell index (0 at the top left, row by row) lies.
    QRect pictureRect(int index) const;
    // The header's lines: file name; size, duration, picture and frame
    // rate; codecs and bit rate.
    QStringList headerLines() const { return m_headerLines; }

    // Reduces frame to fit the picture of cell index whole and draws it;
    // timeMs is the frame's time from the start of the video. A cell index
    // outside the grid or a null frame is left alone.
    void addFrame(int index, const QImage &frame, qint64 timeMs);

    // The sheet with the frames added so far and their times.
    QImage image() const;

private:
    QColor textColor() const;
    QFont font(double scale, bool bold = false) const;

    Layout m_layout;
    QStringList m_headerLines;
    int m_cellWidth = 0;
    int m_pictureHeight = 0;
    int m_labelHeight = 0;
    int m_labelPixels = 0;
    int m_headerHeight = 0;
    QImage m_sheet;
    QVector<qint64> m_times;   // -1 for cells without a frame
};
