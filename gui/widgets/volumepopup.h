#pragma once

#include <QFrame>
#include <QSettings>

#include <memory>

namespace Ui {
class VolumePopup;
}

// The frameless pop-up under the player's volume button: a vertical volume
// slider and a "Mute" box. Volume (0 to 100) and mute are kept in the
// per-user store ("volume", "muted") on every change and read back when the
// pop-up is made. Being a Qt::Popup, it closes when the user clicks outside.
//
// User-interface thread only; lives as long as the main window.
class VolumePopup : public QFrame
{
    Q_OBJECT

public:
    explicit VolumePopup(QWidget *parent = nullptr);
    ~VolumePopup() override;

    // 0 while muted, else the slider's value.
    int currentVolume() const;

signals:
    void volumeChanged(int volume);

private slots:
    void on_muteCheckBox_clicked(bool checked);
    void on_volumeSlider_valueChanged(int value);

private:
    std::unique_ptr<Ui::VolumePopup> ui;
    QSettings settings;
};
