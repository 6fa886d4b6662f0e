#include "dialogs/batchprocessingdialog.h"
#include "widgets/imageview.h"

#include "batch/batchthread.h"
#include "batch/batchworkerconfig.h"
#include "frameid.h"
#include "modaldialogs.h"
#include "testclips.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

class BatchProcessingDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void progressBars_data();
    void progressBars();
    void twoClips();
    void cancelDuringSecondOfThree();
    void closingWhileRunningAsks_data();
    void closingWhileRunningAsks();
    void noJobs();
    void failuresStayVisible_data();
    void failuresStayVisible();

private:
    BatchWorkerConfig *job(const QString &clip, const QString &folder, int images, qint64 skipFront = 1000,
                           qint64 skipBack = 1000);
    void run(BatchProcessingDialog &dialog, const std::function<void()> &steps);

    std::unique_ptr<QTemporaryDir> m_out;
    std::unique_ptr<QObject> m_jobs;
};

template<typename T>
T *part(QWidget &dialog, const char *name)
{
    return dialog.findChild<T *>(QLatin1String(name));
}

// Clicks a button of the question box the progress dialog is about to ask,
// keeping its title and text.
static void answerQuestion(QWidget *dialog, QMessageBox::StandardButton button, QString *asked = nullptr)
{
    ModalDialogs::answer([=](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        if (asked)
            *asked = box->windowTitle() + QLatin1Char('|') + box->text();
        box->button(button)->click();
    }, dialog);
}

void BatchProcessingDialogTest::init()
{
    m_out = std::make_unique<QTemporaryDir>();
    m_jobs = std::make_unique<QObject>();
}

BatchWorkerConfig *BatchProcessingDialogTest::job(const QString &clip, const QString &folder, int images,
                                                   qint64 skipFront, qint64 skipBack)
{
    auto *config = new BatchWorkerConfig(m_jobs.get());
    config->setSource(TestClips::path(clip));
    config->setFileOutputPath(folder);
    config->setIntervalType(BatchWorkerConfig::ImageCount);
    config->setIntervalImages(images);
    config->setSkipFront(skipFront);
    config->setSkipBack(skipBack);
    return config;
}

// Runs the dialog as its owner does; the steps run inside its modal loop and
// end by closing it. Should they fail first, the batch is stopped and the
// dialog closed, so a failing test never hangs.
void BatchProcessingDialogTest::run(BatchProcessingDialog &dialog, const std::function<void()> &steps)
{
    ModalDialogs::answer([&](QWidget *) {
        steps();
        if (dialog.isVisible()) {
            auto *thread = dialog.findChild<BatchThread *>();
            thread->requestInterruption();
            thread->wait();
            dialog.done(QDialog::Rejected);
            QVERIFY2(QTest::currentTestFailed(), "the dialog stayed open");
        }
    });
    dialog.exec();
}

void BatchProcessingDialogTest::progressBars_data()
{
    QTest::addColumn<float>("overall");
    QTest::addColumn<float>("current");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("currentBar");
    QTest::newRow("truncated, not rounded") << 0.999f << 0.5f << 99 << 50;
    QTest::newRow("each bar its own value") << 0.5f << 1.0f << 50 << 100;
}

void BatchProcessingDialogTest::progressBars()
{
    QFETCH(float, overall);
    QFETCH(float, current);
    BatchProcessingDialog dialog;
    dialog.threadProgressUpdate(overall, current);
    QTEST(part<QProgressBar>(dialog, "progressBarTotal")->value(), "total");
    QTEST(part<QProgressBar>(dialog, "progressBarCurrent")->value(), "currentBar");
}

void BatchProcessingDialogTest::twoClips()
{
    BatchProcessingDialog dialog;
    dialog.addConfig(job(QStringLiteral("h264-10s.mp4"), m_out->path(), 3));
    dialog.addConfig(job(QStringLiteral("h264-60s.mp4"), m_out->path(), 3, 1000, 5000));
    auto *button = part<QPushButton>(dialog, "doneButton");
    QCOMPARE(button->text(), QStringLiteral("Cancel"));
    run(dialog, [&] {
        QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("Done"), 60000);
        QCOMPARE(part<QProgressBar>(dialog, "progressBarTotal")->value(), 100);
        QCOMPARE(part<QLabel>(dialog, "statusLabel")->text(), QStringLiteral("6 images written."));
        QVERIFY(!part<ImageView>(dialog, "previewImageView")->image().isNull());
        const QString log = part<QPlainTextEdit>(dialog, "logTextEdit")->toPlainText();
        QCOMPARE(log.count(QStringLiteral(": Saving: ")), 6);
        button->click();
    });

    // Three images spread over what the skips leave: frames ceil(position / 40 ms).
    const QMap<QString, int> expected = {
        { "h264-10s-00001.jpeg", 25 }, { "h264-10s-00002.jpeg", 92 }, { "h264-10s-00003.jpeg", 159 },
        { "h264-60s-00001.jpeg", 25 }, { "h264-60s-00002.jpeg", 475 }, { "h264-60s-00003.jpeg", 925 },
    };
    const QDir out(m_out->path());
    QCOMPARE(out.entryList(QDir::Files), expected.keys());
    for (auto file = expected.cbegin(); file != expected.cend(); ++file)
        QCOMPARE(FrameId::read(QImage(out.filePath(file.key()))), file.value());
}

void BatchProcessingDialogTest::cancelDuringSecondOfThree()
{
    BatchProcessingDialog dialog;
    const QDir out(m_out->path());
    for (const char *name : { "a", "b", "c" })
        QVERIFY(out.mkdir(name));
    dialog.addConfig(job(QStringLiteral("h264-10s.mp4"), out.filePath("a"), 1));
    dialog.addConfig(job(QStringLiteral("h264-10s.mp4"), out.filePath("b"), 8));
    dialog.addConfig(job(QStringLiteral("h264-10s.mp4"), out.filePath("c"), 2));
    auto *thread = dialog.findChild<BatchThread *>();
    auto *button = part<QPushButton>(dialog, "doneButton");
    bool inSecond = false;
    connect(thread, &BatchThread::progressUpdate, this, [&](float overall, float current) {
        inSecond = inSecond || (overall > 1.0f / 3.0f && current > 0.2f && current < 1.0f);
    });
    run(dialog, [&] {
        QTRY_VERIFY_WITH_TIMEOUT(inSecond, 30000);
        answerQuestion(&dialog, QMessageBox::No);
        button->click();
        QVERIFY(!thread->isInterruptionRequested());
        QCOMPARE(button->text(), QStringLiteral("Cancel"));

        answerQuestion(&dialog, QMessageBox::Yes);
        button->click();
        QVERIFY(thread->isInterruptionRequested());
        QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("Done"), 30000);
        QVERIFY(part<QLabel>(dialog, "statusLabel")->text().startsWith("Cancelled."));
        button->click();
    });
    QCOMPARE(QDir(out.filePath("a")).entryList(QDir::Files).size(), 1);
    QVERIFY(QDir(out.filePath("b")).entryList(QDir::Files).size() < 8);
    QCOMPARE(QDir(out.filePath("c")).entryList(QDir::Files).size(), 0);
}

void BatchProcessingDialogTest::closingWhileRunningAsks_data()
{
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("answer");
    QTest::newRow("close control, no") << false << int(QMessageBox::No);
    QTest::newRow("close control, yes") << false << int(QMessageBox::Yes);
    QTest::newRow("escape, no") << true << int(QMessageBox::No);
    QTest::newRow("escape, yes") << true << int(QMessageBox::Yes);
}

void BatchProcessingDialogTest::closingWhileRunningAsks()
{
    QFETCH(bool, escape);
    QFETCH(int, answer);
    BatchProcessingDialog dialog;
    dialog.addConfig(job(QStringLiteral("h264-60s.mp4"), m_out->path(), 50));
    auto *thread = dialog.findChild<BatchThread *>();
    auto *button = part<QPushButton>(dialog, "doneButton");
    run(dialog, [&] {
        QString asked;
        answerQuestion(&dialog, QMessageBox::StandardButton(answer), &asked);
        if (escape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        QCOMPARE(asked, QStringLiteral("Cancel Batch Processing|Are you sure you want to cancel batch processing?\n"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(thread->isInterruptionRequested(), answer == QMessageBox::Yes);
        if (answer == QMessageBox::No) {
            answerQuestion(&dialog, QMessageBox::Yes);
            button->click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("Done"), 30000);
        QVERIFY(dialog.isVisible());
        dialog.close();
    });
    QVERIFY(thread->isFinished());
}

void BatchProcessingDialogTest::noJobs()
{
    BatchProcessingDialog dialog;
    auto *button = part<QPushButton>(dialog, "doneButton");
    run(dialog, [&] {
        QTRY_COMPARE(button->text(), QStringLiteral("Done"));
        QCOMPARE(part<QProgressBar>(dialog, "progressBarTotal")->value(), 0);
        // Finished: closes without a question.
        button->click();
    });
    QVERIFY(dialog.isHidden());
}

void BatchProcessingDialogTest::failuresStayVisible_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<qint64>("skip");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("summary");
    QTest::newRow("unreadable video") << "random.mp4" << QString() << qint64(1000) << "random.mp4: Could not open file"
                                      << "1 image written. Failed: random.mp4 (cannot read video).";
    QTest::newRow("missing output folder") << "h264-10s.mp4" << "missing" << qint64(1000)
                                           << "h264-10s.mp4: Could not write image"
                                           << "1 image written. Failed: h264-10s.mp4 (3 of its images).";
    QTest::newRow("skips cover the video") << "h264-10s.mp4" << QString() << qint64(6000) << QString()
                                           << "1 image written. Failed: h264-10s.mp4 (the skips leave nothing of it).";
}

void BatchProcessingDialogTest::failuresStayVisible()
{
    QFETCH(QString, clip);
    QFETCH(QString, folder);
    QFETCH(qint64, skip);
    QFETCH(QString, logged);
    QFETCH(QString, summary);
    BatchProcessingDialog dialog;
    dialog.addConfig(job(QStringLiteral("h264-60s.mp4"), m_out->path(), 1));
    dialog.addConfig(job(clip, QDir(m_out->path()).filePath(folder), 3, skip, skip));
    auto *button = part<QPushButton>(dialog, "doneButton");
    run(dialog, [&] {
        QTRY_COMPARE_WITH_TIMEOUT(button->text(), QStringLiteral("Done"), 30000);
        QCOMPARE(part<QLabel>(dialog, "statusLabel")->text(), summary);
        const QStringList log = part<QPlainTextEdit>(dialog, "logTextEdit")->toPlainText().split('\n');
        QCOMPARE(log.constLast(), summary);
        QVERIFY(logged.isEmpty() || !log.filter(logged).isEmpty());
        // The failing job is the one named at the top, also when it said nothing.
        QCOMPARE(part<QLabel>(dialog, "currentVideoLabel")->text(), QDir::toNativeSeparators(TestClips::path(clip)));
        button->click();
    });
}

QTEST_MAIN(BatchProcessingDialogTest)
#include "batchprocessingdialogtest.moc"
