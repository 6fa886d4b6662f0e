#include "widgets/volumepopup.h"

#include "ui_volumepopup.h"

namespace {
const QString VolumeKey = QStringLiteral("volume");
const QString MutedKey = QStringLiteral("muted");
}

VolumePopup::VolumePopup(QWidget *parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint), ui(std::make_unique<Ui::VolumePopup>())
{
    ui->setupUi(this);
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    ui->verticalLayout->setAlignment(ui->volumeSlider, Qt::AlignHCenter);
    ui->verticalLayout->setAlignment(ui->muteCheckBox, Qt::AlignHCenter);
    ui->volumeSlider->setRange(0, 100);

    // A stored value that is no number gives the default; the slider clamps the rest.
    bool ok = false;
    const int volume = settings.value(VolumeKey, 50).toInt(&ok);
    ui->volumeSlider->setValue(ok ? volume : 50);
    ui->muteCheckBox->setChecked(settings.value(MutedKey, false).toBool());
}

VolumePopup::~VolumePopup() = default;

int VolumePopup::currentVolume() const
{
    return ui->muteCheckBox->isChecked() ? 0 : ui->volumeSlider->value();
}

void VolumePopup::on_muteCheckBox_clicked(bool checked)
{
    settings.setValue(MutedKey, checked);
    emit volumeChanged(currentVolume());
}

void VolumePopup::on_volumeSlider_valueChanged(int value)
{
    settings.setValue(VolumeKey, value);
    emit volumeChanged(currentVolume());
}
