#pragma once

#include "profiles/baseprofile.h"

class ProfileManager;

// How a captured frame becomes an output image: the frame's own size or a
// target size, how the frame is fitted to it (whole inside it, or cut
// centrally to its aspect and filled), and which watermark profile, if any,
// goes on it. The image pipeline applies it; batch jobs refer to it by id.
class ImageProfile : public BaseProfile
{
    Q_OBJECT
    Q_PROPERTY(bool sameSizeAsVideo READ sameSizeAsVideo WRITE setSameSizeAsVideo)
    Q_PROPERTY(int imageWidth READ imageWidth WRITE setImageWidth)
    Q_PROPERTY(int imageHeight READ imageHeight WRITE setImageHeight)
    Q_PROPERTY(bool maintainAspectRatio READ maintainAspectRatio WRITE setMaintainAspectRatio)
    Q_PROPERTY(int imageContrast READ imageContrast WRITE setImageContrast)
    Q_PROPERTY(int imageBrightness READ imageBrightness WRITE setImageBrightness)
    Q_PROPERTY(QString watermarkProfileId READ watermarkProfileId WRITE setWatermarkProfileId)
    Q_PROPERTY(int imageQuality READ imageQuality WRITE setImageQuality)

public:
    // Widths and heights an image can have, in pixels.
    static constexpr int MinImageSize = 1;
    static constexpr int MaxImageSize = 65535;

    // Named "Image Profile"; 640 x 480, cut to fill, no watermark.
    explicit ImageProfile(QObject *parent = nullptr);

    // A stored width or height outside MinImageSize to MaxImageSize would
    // make no image: it is read as the default size, with a warning.
    void readSettings(QSettings &settings) override;

    // When true, the frame keeps its size and the three settings below are unused.
    bool sameSizeAsVideo() const { return m_sameSizeAsVideo; }
    void setSameSizeAsVideo(bool same) { m_sameSizeAsVideo = same; }
    int imageWidth() const { return m_imageWidth; }
    void setImageWidth(int width) { m_imageWidth = width; }
    int imageHeight() const { return m_imageHeight; }
    void setImageHeight(int height) { m_imageHeight = height; }
    // True: fit the whole frame inside the target. False: cut the frame
    // centrally to the target's aspect ratio and scale it to exactly the target.
    bool maintainAspectRatio() const { return m_maintainAspectRatio; }
    void setMaintainAspectRatio(bool maintain) { m_maintainAspectRatio = maintain; }
    // Stored and loaded with the profile; no editor sets them and the image
    // pipeline does not apply them.
    int imageContrast() const { return m_imageContrast; }
    void setImageContrast(int contrast) { m_imageContrast = contrast; }
    int imageBrightness() const { return m_imageBrightness; }
    void setImageBrightness(int brightness) { m_imageBrightness = brightness; }
    // Id of a watermark profile; empty, or an id no profile has, means none.
    QString watermarkProfileId() const { return m_watermarkProfileId; }
    void setWatermarkProfileId(const QString &id) { m_watermarkProfileId = id; }

    // Quality of JPEG and WebP images, 1 (smallest) to 100 (best); any other
    // value (-1 unless set) leaves it to Qt's default, as profiles without
    // the setting always did.
    int imageQuality() const { return m_imageQuality; }
    void setImageQuality(int quality) { m_imageQuality = quality; }

    // The store of image profiles, "ImageProfiles.ini"; made on the first
    // call, with a default profile when the file holds none.
    static ProfileManager *profileManager();

private:
    bool m_sameSizeAsVideo = false;
    int m_imageWidth = 640;
    int m_imageHeight = 480;
    bool m_maintainAspectRatio = false;
    int m_imageContrast = 0;
    int m_imageBrightness = 0;
    QString m_watermarkProfileId;
    int m_imageQuality = -1;
};
