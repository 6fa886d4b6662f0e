#pragma once

#include "capture/framedetails.h"

#include "dialogs/profiledialog.h"

#include <QImage>
#include <QTimer>

#include <memory>

namespace Ui {
class WatermarkProfileDialog;
}

class BaseProfile;
class Field;
class ImageProfile;
class WatermarkProfile;

// Modal editor of watermark profiles: text (font, colours, shadow) or a
// picture, opacity, position and margins, with a preview that runs the real
// image pipeline on a sample picture five times a second, so what the user
// sees is what the output gets. Pictures the user picks are copied into the
// watermark folder under a new upper-case UUID name; the profile names the copy.
//
// User-interface thread only; made for one modal run by the image profile
// dialog, whose image settings it borrows for the preview.
class WatermarkProfileDialog : public ProfileDialog
{
    Q_OBJECT

public:
    explicit WatermarkProfileDialog(QWidget *parent = nullptr);
    ~WatermarkProfileDialog() override;

    // None shows the store's first watermark profile, or a fresh one when
    // the store is empty; profile() still answers none until Save.
    void setProfile(BaseProfile *profile);
    // The picture and image settings of the preview (imageProfile borrowed;
    // it must outlive the dialog). A null background gives an empty preview.
    void setPreview(const QImage &background, ImageProfile *imageProfile);
    // What the text's placeholders show in the preview: the frame's own
    // details; a sample frame's (MyVideo.mpeg at 00:01:23.456, recorded
    // today, image 1) unless set.
    void setPreviewDetails(const FrameDetails &details);

private slots:
    void fieldChanged(Field *field);
    void updateType();
    void profileSelected(BaseProfile *profile);
    void updateWatermarkTimerFired();
    void on_textFontButton_clicked();
    void on_textColorButton_clicked();
    void on_shadowColorButton_clicked();
    void on_watermarkTypeTextRadioButton_clicked(bool checked);
    void on_watermarkTypeImageRadioButton_clicked(bool checked);
    void on_imageBrowseButton_clicked();
    void on_imageFileNameLineEdit_textChanged(const QString &name);
    void on_addTimestampButton_clicked();

private:
    // Enables and shows the widgets of the chosen type; true for text.
    bool showType();

    std::unique_ptr<Ui::WatermarkProfileDialog> ui;
    QImage background;
    std::unique_ptr<ImageProfile> defaultImageProfile;
    ImageProfile *previewImageProfile = nullptr;
    FrameDetails previewDetails;
    // Shown when the store has no profile at all; not in the store until saved.
    std::unique_ptr<WatermarkProfile> unsavedProfile;
    QTimer previewTimer;
};
