#pragma once

#include "capture/framedetails.h"
#include "profiles/baseprofile.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>

class ProfileManager;

// A mark stamped on output images: a line of text with font, colour and drop
// shadow, or a picture from the watermark folder; one of nine positions with
// margins; and an opacity for the whole mark. Image profiles refer to it by id.
//
// image() keeps one picture cache shared by all watermark profiles and takes
// no lock: every call comes from the thread that processes images (the
// user-interface thread, or tindracmd's main thread).
class WatermarkProfile : public BaseProfile
{
    Q_OBJECT
    Q_PROPERTY(int watermarkType READ watermarkType WRITE setWatermarkType)
    Q_PROPERTY(int alignmentIndex READ alignmentIndex WRITE setAlignmentIndex)
    Q_PROPERTY(int xMargin READ xMargin WRITE setXMargin)
    Q_PROPERTY(int yMargin READ yMargin WRITE setYMargin)
    Q_PROPERTY(int alpha READ alpha WRITE setAlpha)
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QFont textFont READ textFont WRITE setTextFont)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QColor textShadowColor READ textShadowColor WRITE setTextShadowColor)
    Q_PROPERTY(int textShadowXOffset READ textShadowXOffset WRITE setTextShadowXOffset)
    Q_PROPERTY(int textShadowYOffset READ textShadowYOffset WRITE setTextShadowYOffset)
    Q_PROPERTY(QString imageFile READ imageFile WRITE setImageFile)
    // Read-only, so it is never written to or read from the file.
    Q_PROPERTY(QImage image READ image)

public:
    enum WatermarkType { TextWatermark = 0, PictureWatermark = 1 };

    // A text watermark at the bottom right, 15 pixels from both edges, opaque,
    // in white 12-point Times with a translucent black shadow.
    explicit WatermarkProfile(QObject *parent = nullptr);

    // 0 = text; any other value is a picture.
    int watermarkType() const { return m_watermarkType; }
    void setWatermarkType(int type) { m_watermarkType = type; }
    // 0 to 8: top, middle, bottom rows of left, centre, right; any other
    // value is the bottom right. See alignment().
    int alignmentIndex() const { return m_alignmentIndex; }
    void setAlignmentIndex(int index) { m_alignmentIndex = index; }
    int xMargin() const { return m_xMargin; }
    void setXMargin(int margin) { m_xMargin = margin; }
    int yMargin() const { return m_yMargin; }
    void setYMargin(int margin) { m_yMargin = margin; }
    // Opacity of the whole mark, 0 (invisible) to 255.
    int alpha() const { return m_alpha; }
    void setAlpha(int alpha) { m_alpha = alpha; }
    // May hold placeholders, filled in for each image by textFor().
    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    QFont textFont() const { return m_textFont; }
    void setTextFont(const QFont &font) { m_textFont = font; }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &color) { m_textColor = color; }
    QColor textShadowColor() const { return m_textShadowColor; }
    void setTextShadowColor(const QColor &color) { m_textShadowColor = color; }
    int textShadowXOffset() const { return m_textShadowXOffset; }
    void setTextShadowXOffset(int offset) { m_textShadowXOffset = offset; }
    int textShadowYOffset() const { return m_textShadowYOffset; }
    void setTextShadowYOffset(int offset) { m_textShadowYOffset = offset; }
    // File name inside the watermark folder (the editor copies pictures there).
    QString imageFile() const { return m_imageFile; }
    void setImageFile(const QString &fileName) { m_imageFile = fileName; }

    // The text for one image, its placeholders filled in: "{time}" the
    // frame's time (hh:mm:ss.zzz), "{video}" the video's file name, "{date}"
    // the day the video was recorded (yyyy-MM-dd), "{counter}" the image's
    // number in its job. A value that is not known leaves its placeholder
    // empty.
    QString textFor(const FrameDetails &details) const;
    // The placeholder of the frame's time, which the editor inserts.
    static QString timePlaceholder() { return QStringLiteral("{time}"); }

    Qt::Alignment alignment() const;
    QPoint textShadowOffset() const { return QPoint(m_textShadowXOffset, m_textShadowYOffset); }

    // The picture of imageFile; a null image when imageFile is empty (without
    // touching the disk) or the file is missing or not a picture. Cached by
    // file name for all profiles: a file replaced on disk under the same name
    // is not read again while the program runs.
    QImage image() const;

    // Absolute path of fileName in the folder "watermarks" of the per-user
    // application data folder, which is made if missing.
    static QString watermarkImagePath(const QString &fileName);

    // The store of watermark profiles, "WatermarkProfiles.ini"; made on the
    // first call, without a default profile.
    static ProfileManager *profileManager();

private:
    int m_watermarkType = TextWatermark;
    int m_alignmentIndex = 8;
    int m_xMargin = 15;
    int m_yMargin = 15;
    int m_alpha = 255;
    QString m_text;
    QFont m_textFont{QStringLiteral("Times"), 12, -1, false};
    QColor m_textColor{255, 255, 255, 225};
    QColor m_textShadowColor{0, 0, 0, 175};
    int m_textShadowXOffset = 0;
    int m_textShadowYOffset = 0;
    QString m_imageFile;
};
