#pragma once

#include "capture/framedetails.h"

#include "dialogs/profiledialog.h"

#include <QImage>

#include <memory>

namespace Ui {
class ImageProfileDialog;
}

class BaseProfile;
class QLineEdit;

// Modal editor of image profiles: output size or "Same Size as Video",
// fitting, and the watermark, which it edits in the watermark dialog with a
// preview on the caller's frame. While "Same Size as Video" is checked the
// width and height edits give way to two disabled edits showing the video's
// size, so the user's own numbers come back unchanged when it is unchecked.
//
// User-interface thread only; made for one modal run.
class ImageProfileDialog : public ProfileDialog
{
    Q_OBJECT

public:
    explicit ImageProfileDialog(QWidget *parent = nullptr);
    ~ImageProfileDialog() override;

    void setProfile(BaseProfile *profile);
    // The size shown while "Same Size as Video" is checked; 0 = not known.
    void setVideoSize(int width, int height);
    // The watermark editor's preview background and where it came from (for
    // the text's placeholders); the editor's own sample when null.
    void setFrameImage(const QImage &image, const FrameDetails &details = FrameDetails());

private slots:
    void on_resetToDefaultsButton_clicked();
    void on_sameSizeAsVideoCheckbox_toggled(bool checked);
    void on_watermarkProfileEditButton_clicked();

private:
    void fillWatermarkList();
    void showVideoSize();
    // The width and height are sizes an image may have.
    bool inputIsValid() override;

    std::unique_ptr<Ui::ImageProfileDialog> ui;
    int videoWidth = 0;
    int videoHeight = 0;
    QLineEdit *videoWidthLineEdit = nullptr;
    QLineEdit *videoHeightLineEdit = nullptr;
    QImage frameImage;
    FrameDetails frameDetails;
};
