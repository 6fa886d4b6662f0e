#include "screenshots.h"

#include "mainwindow.h"
#include "player/framecapture.h"
#include "player/player.h"
#include "profiles/imageprofile.h"
#include "profiles/profilemanager.h"

// Qt
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

namespace {

// Runs the event loop until sender emits signal, at most ten seconds.
template<typename Sender, typename Signal>
void waitFor(Sender *sender, Signal signal)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, [&loop] { loop.quit(); });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
}

// The main window playing a clip, then paused on a frame with its snapshot
// taken and shown through a 640 x 360 image profile.
void shootMainWindow()
{
    auto *web = qobject_cast<ImageProfile *>(ImageProfile::profileManager()->createProfile());
    web->setName(QStringLiteral("Web 640 x 360"));
    web->setImageWidth(640);
    web->setImageHeight(360);
    web->setMaintainAspectRatio(true);
    ImageProfile::profileManager()->addProfile(web);
    ImageProfile::profileManager()->setCurrentProfile(web);

    MainWindow window;
    window.resize(800, 600);
    Screenshots::save(&window, QStringLiteral("main-window-empty"));

    auto *player = window.findChild<Player *>();
    player->setAudioOutput(QStringLiteral("null"));
    window.openVideo(Screenshots::video(QStringLiteral("long-gop-720p.mp4"), QStringLiteral("harbour-720p.mp4")));
    waitFor(player, &Player::started);
    Screenshots::save(&window, QStringLiteral("main-window-playing"), 1500);

    player->pause(true);
    player->seek(6480);
    waitFor(player, &Player::seekFinished);
    window.findChild<QPushButton *>(QStringLiteral("snapshotButton"))->click();
    waitFor(player->videoCapture(), &FrameCapture::imageCaptured);
    Screenshots::save(&window, QStringLiteral("main-window-snapshot"), 500);
}

const Screenshots::Area area("main window", &shootMainWindow);
}
