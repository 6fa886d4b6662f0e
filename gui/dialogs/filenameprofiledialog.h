#pragma once

#include "dialogs/profiledialog.h"

#include <QString>

#include <memory>

namespace Ui {
class FileNameProfileDialog;
}

class BaseProfile;

// Modal editor of file-name profiles: prefix, base name, suffix and image
// type, with a live example of the names the form produces for a video.
// The caller hands over the profile to start with and reads profile() after
// the dialog closes: the saved profile, or the one it was given.
//
// User-interface thread only; made for one modal run.
class FileNameProfileDialog : public ProfileDialog
{
    Q_OBJECT

public:
    explicit FileNameProfileDialog(QWidget *parent = nullptr);
    ~FileNameProfileDialog() override;

    void setProfile(BaseProfile *profile);
    // The video whose name the example uses; "MyVideo.mpeg" until set.
    void setVideoFileName(const QString &fileName);

private slots:
    void on_resetToDefaultsButton_clicked();
    void updateExample();

private:
    // The prefix, base name and suffix hold no path separator.
    bool inputIsValid() override;

    std::unique_ptr<Ui::FileNameProfileDialog> ui;
    QString videoFileName = QStringLiteral("MyVideo.mpeg");
};
