#include "analysis/shotanalysis.h"
#include "shotclips.h"
#include "testclips.h"

#include <QtTest>

Q_DECLARE_METATYPE(ShotClips::Clip)

class ShotAnalysisTest : public QObject
{
    Q_OBJECT

private slots:
    void knownTransitions_data();
    void knownTransitions();
    void edgeCases_data();
    void edgeCases();
    void partOfTheVideo();
    void stops();
};

void ShotAnalysisTest::knownTransitions_data()
{
    QTest::addColumn<ShotClips::Clip>("clip");
    for (const ShotClips::Clip &clip : ShotClips::all())
        QTest::newRow(qPrintable(clip.name)) << clip;
}

// Every hard cut at its frame, every dissolve and fade once within it,
// nothing else; each shot's image inside it, clear of the transitions.
void ShotAnalysisTest::knownTransitions()
{
    QFETCH(ShotClips::Clip, clip);
    ShotAnalysis analysis(TestClips::path(clip.name));
    QVERIFY2(analysis.run(0, TestClips::frameTime(clip.frames)), qPrintable(analysis.errorString()));
    const QVector<ShotAnalysis::Shot> &shots = analysis.shots();
    QVector<int> cuts;
    QStringList found;
    for (int i = 1; i < shots.size(); ++i) {
        cuts.append(int(shots.at(i).startFrame));
        found.append(QString::number(cuts.constLast()));
    }
    const ShotClips::Score score = ShotClips::score(clip, cuts);
    QVERIFY2(score.missed == 0 && score.extra == 0, qPrintable(QStringLiteral("cuts at ") + found.join(QLatin1Char(' '))));
    QCOMPARE(shots.constFirst().startFrame, 0);
    QCOMPARE(shots.constLast().endFrame, clip.frames - 1);
    for (int i = 0; i < shots.size(); ++i) {
        const ShotAnalysis::Shot &shot = shots.at(i);
        QVERIFY(!shot.blank);
        QVERIFY(shot.imageMs >= shot.startMs && shot.imageMs < shot.endMs);
        QCOMPARE(shot.endFrame + 1, i + 1 < shots.size() ? shots.at(i + 1).startFrame : clip.frames);
        for (const ShotClips::Transition &transition : clip.transitions) {
            QVERIFY2(shot.imageMs < TestClips::frameTime(transition.first) || shot.imageMs > TestClips::frameTime(transition.last),
                     qPrintable(QString::number(shot.imageMs)));
        }
    }
}

void ShotAnalysisTest::edgeCases_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<qint64>("toMs");
    QTest::addColumn<bool>("allBlank");
    QTest::addColumn<qint64>("lastFrame");
    QTest::newRow("one frame") << "one-frame.mp4" << qint64(1000) << false << qint64(0);
    // One shot, its image black.
    QTest::newRow("all black") << "black.mp4" << qint64(2000) << true << qint64(49);
    QTest::newRow("no cuts, 10-bit") << "hevc10.mkv" << qint64(4000) << false << qint64(99);
}

void ShotAnalysisTest::edgeCases()
{
    QFETCH(QString, clip);
    QFETCH(qint64, toMs);
    QFETCH(bool, allBlank);
    QFETCH(qint64, lastFrame);
    ShotAnalysis analysis(TestClips::path(clip));
    QVERIFY2(analysis.run(0, toMs), qPrintable(analysis.errorString()));
    QCOMPARE(analysis.shots().size(), 1);
    const ShotAnalysis::Shot &shot = analysis.shots().constFirst();
    QCOMPARE(shot.startFrame, 0);
    QCOMPARE(shot.endFrame, lastFrame);
    QCOMPARE(analysis.allBlank(), allBlank);
    QCOMPARE(shot.blank, allBlank);
}

void ShotAnalysisTest::partOfTheVideo()
{
    // From 1000 to 5600 ms of the cuts at 31, 70, 113 and 150: three shots.
    ShotAnalysis analysis(TestClips::path(QStringLiteral("shots-cuts.mp4")));
    QVERIFY(analysis.run(1000, 5600));
    const QVector<ShotAnalysis::Shot> &shots = analysis.shots();
    QCOMPARE(shots.size(), 3);
    QCOMPARE(shots.at(0).startFrame, 25);
    QCOMPARE(shots.at(1).startFrame, 70);
    QCOMPARE(shots.at(2).startFrame, 113);
    QCOMPARE(shots.at(2).endFrame, 140);
    QCOMPARE(shots.at(0).startMs, 1000);
}

void ShotAnalysisTest::stops()
{
    ShotAnalysis analysis(TestClips::path(QStringLiteral("shots-cuts.mp4")));
    QList<float> progress;
    analysis.setProgress([&](float value) { progress.append(value); });
    analysis.setStopCheck([&] { return progress.size() >= 10; });
    QVERIFY(!analysis.run(0, 8000));
    QVERIFY(analysis.shots().isEmpty());
    QCOMPARE(progress.size(), 10);

    ShotAnalysis missing(TestClips::path(QStringLiteral("no-such-clip.mp4")));
    QVERIFY(!missing.run(0, 1000));
    QCOMPARE(missing.errorString(), QStringLiteral("Cannot open file"));
}

QTEST_GUILESS_MAIN(ShotAnalysisTest)
#include "shotanalysistest.moc"
