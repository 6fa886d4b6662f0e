#include "widgets/smartfiledialog.h"
#include "guilog.h"

#include "widgets/screenfit.h"

// Qt
#include <QAbstractItemView>
#include <QCompleter>
#include <QSettings>

namespace {
const QString StateKey = QStringLiteral("_dialogState");
const QString PathKey = QStringLiteral("_dialogPath");
const QString AllFiles = QStringLiteral("All Files (*.*)");
}

SmartFileDialog::SmartFileDialog(QWidget *parent, const QString &name)
    : QFileDialog(parent), dialogName(name)
{
    QSettings settings;
    // Fails on the first use of every name: there is nothing stored yet.
    if (!restoreState(settings.value(dialogName + StateKey).toByteArray()))
        qCDebug(lcGui, "Restore state failed");
    const QString path = settings.value(dialogName + PathKey).toString();
    if (!path.isEmpty())
        setDirectory(path);
    connect(this, &QDialog::finished, this, &SmartFileDialog::dialogFinished);
    ScreenFit::keepOnScreen(this);
}

void SmartFileDialog::setImageNameFilters()
{
    setNameFilters({tr("Image Files") + QLatin1String(" (*.jpeg *.jpg *.png *.gif *.tiff *.bmp)"), AllFiles});
}

void SmartFileDialog::setVideoNameFilters()
{
    setNameFilters({tr("Video Files")
                        + QLatin1String(
                            " (*.avi *.mpeg *.mp4 *.mov *.3g2 *.3gp *.3gp2 *.3gpp *.amv *.asf *.bik *.bin *.crf"
                            " *.divx *.drc *.dv *.dvr-ms *.evo *.f4v *.flv *.gvi *.gxf *.iso *.m1v *.m2v *.m2t"
                            " *.m2ts *.m4v *.mkv *.mp2 *.mp2v *.mp4v *.mpe *.mpeg1 *.mpeg2 *.mpeg4 *.mpg *.mpv2"
                            " *.mts *.mtv *.mxf *.mxg *.nsv *.nuv *.ogg *.ogm *.ogv *.ogx *.ps *.rec *.rm *.rmvb"
                            " *.rpl *.thp *.tod *.tp *.ts *.tts *.txd *.vob *.vro *.webm *.wm *.wmv *.wtv *.xesc)"),
                    AllFiles});
}

void SmartFileDialog::dialogFinished(int result)
{
    // The completion list of a typed name is a window of its own: left up,
    // it would swallow the next key meant for the window below.
    const auto completers = findChildren<QCompleter *>();
    for (QCompleter *completer : completers)
        completer->popup()->hide();
    if (result == QDialog::Accepted)
        saveSettings();
    // Some window managers leave the focus nowhere once a dialog closes.
    if (QWidget *owner = parentWidget()) {
        owner->raise();
        owner->activateWindow();
    }
}

void SmartFileDialog::saveSettings()
{
    qCDebug(lcGui, "Saving state");
    QSettings settings;
    settings.setValue(dialogName + StateKey, saveState());
    settings.setValue(dialogName + PathKey, directory().absolutePath());
}
