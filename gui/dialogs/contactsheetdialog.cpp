#include "dialogs/contactsheetdialog.h"

#include "ui_contactsheetdialog.h"

#include "batch/batchthread.h"
#include "batch/batchworker.h"
#include "batch/batchworkerconfig.h"
#include "imaging/contactsheet.h"
#include "imaging/imageprocessingmanager.h"
#include "imaging/imagewriter.h"
#include "profiles/filenameprofile.h"
#include "profiles/imageprofile.h"

// Qt
#include <QColorDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <climits>

namespace {
// A sheet is made again this long after the last change of a setting.
constexpr int ChangeDelay = 300;
}

ContactSheetDialog::ContactSheetDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ContactSheetDialog>())
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    BatchWorkerConfig defaults;
    defaults.loadDefaults();
    const ContactSheet::Layout layout = defaults.sheetLayout();
    ui->columnsSpinBox->setValue(layout.columns);
    ui->rowsSpinBox->setValue(layout.rows);
    ui->widthSpinBox->setValue(layout.width);
    ui->spacingSpinBox->setValue(layout.spacing);
    ui->backgroundColorLabel->setColor(layout.background);
    ui->skipFrontSpinBox->setValue(int(qBound<qint64>(0, defaults.skipFront(), INT_MAX)));
    ui->skipBackSpinBox->setValue(int(qBound<qint64>(0, defaults.skipBack(), INT_MAX)));
    ui->saveButton->setEnabled(false);
    ui->copyButton->setEnabled(false);

    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(ChangeDelay);
    connect(&m_changeTimer, &QTimer::timeout, this, &ContactSheetDialog::makeSheet);
    for (QSpinBox *setting : { ui->columnsSpinBox, ui->rowsSpinBox, ui->widthSpinBox, ui->spacingSpinBox,
                               ui->skipFrontSpinBox, ui->skipBackSpinBox })
        connect(setting, QOverload<int>::of(&QSpinBox::valueChanged), this, &ContactSheetDialog::settingsChanged);
}

ContactSheetDialog::~ContactSheetDialog()
{
    // A running QThread must never be destroyed.
    stopSheet();
    for (const QPointer<BatchThread> &thread : qAsConst(m_stopping)) {
        if (thread)
            thread->wait();
    }
}

void ContactSheetDialog::setVideo(const QString &path, ImageProfile *imageProfile, FileNameProfile *fileNameProfile,
                                  const QDir &outputFolder)
{
    m_video = path;
    m_imageProfile = imageProfile;
    m_fileNameProfile = fileNameProfile;
    m_outputFolder = outputFolder;
    setWindowTitle(tr("Contact Sheet: %1").arg(QFileInfo(path).fileName()));
    makeSheet();
}

void ContactSheetDialog::settingsChanged()
{
    m_changeTimer.start();
}

// Stops the sheet in the making, if any, and starts one with the settings
// on screen. Signals of a stopped sheet's worker are no longer heard.
void ContactSheetDialog::makeSheet()
{
    m_changeTimer.stop();
    stopSheet();
    m_sheet = QImage();
    ui->saveButton->setEnabled(false);
    ui->copyButton->setEnabled(false);

    ContactSheet::Layout layout;
    layout.columns = ui->columnsSpinBox->value();
    layout.rows = ui->rowsSpinBox->value();
    layout.width = ui->widthSpinBox->value();
    layout.spacing = ui->spacingSpinBox->value();
    layout.background = ui->backgroundColorLabel->color();
    const QString unfit = ContactSheet::layoutError(layout, QSize());
    if (!unfit.isEmpty() || m_video.isEmpty()) {
        ui->statusLabel->setText(unfit);
        return;
    }

    auto *thread = new BatchThread(this);
    auto *config = new BatchWorkerConfig(thread);
    config->setSource(m_video);
    config->setImageProfile(m_imageProfile);
    config->setFileNameProfile(m_fileNameProfile);
    config->setSkipFront(ui->skipFrontSpinBox->value());
    config->setSkipBack(ui->skipBackSpinBox->value());
    config->setContactSheet(true);
    config->setSheetLayout(layout);
    auto *worker = new BatchWorker;
    worker->setConfig(config);
    worker->setPauseAfterImage(0);
    worker->setSheetKept(true);
    connect(worker, &BatchWorker::sheetUpdated, this,
            [this](BatchWorker *, const QImage &partial) { ui->previewImageView->setImage(partial); });
    connect(worker, &BatchWorker::statusUpdate, this,
            [this](BatchWorker *, const QString &text) { ui->statusLabel->setText(text); });
    connect(worker, &BatchWorker::sheetFinished, this, [this](BatchWorker *, const QImage &sheet) {
        m_sheet = sheet;
        ui->previewImageView->setImage(sheet);
        ui->statusLabel->setText(tr("%1 × %2 pixels").arg(sheet.width()).arg(sheet.height()));
        ui->saveButton->setEnabled(true);
        ui->copyButton->setEnabled(true);
        emit sheetFinished();
    });
    thread->addWorker(worker);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_thread = thread;
    ui->statusLabel->setText(tr("Taking %1 frames…").arg(layout.columns * layout.rows));
    thread->start();
}

void ContactSheetDialog::stopSheet()
{
    if (!m_thread)
        return;
    const QList<BatchWorker *> workers = m_thread->findChildren<BatchWorker *>();
    for (BatchWorker *worker : workers)
        worker->disconnect(this);
    m_thread->requestInterruption();
    m_stopping.append(m_thread);
    m_thread = nullptr;
}

void ContactSheetDialog::on_saveButton_clicked()
{
    if (m_sheet.isNull())
        return;
    FileNameProfile fallback;
    const FileNameProfile *names = m_fileNameProfile ? m_fileNameProfile : &fallback;
    const QString base = QFileInfo(m_video).completeBaseName();
    const auto nameFor = [names, base](int counter) { return names->sheetFileName(base, counter); };
    const int quality = m_imageProfile ? m_imageProfile->imageQuality() : -1;

    ImageWriter::Result result;
    if (!m_outputFolder.exists() && !m_outputFolder.mkpath(QStringLiteral("."))) {
        result.path = m_outputFolder.filePath(nameFor(-1));
        result.reason = tr("The folder could not be made.");
    } else {
        result = ImageWriter::write(m_sheet, m_outputFolder.filePath(nameFor(-1)), ImageWriter::Mode::CreateNew, quality);
        if (result.outcome == ImageWriter::Outcome::NameTaken) {
            qint64 counter = 1;
            result = ImageWriter::writeUnderFreeName(m_sheet, m_outputFolder, nameFor, &counter, quality);
        }
    }
    const QString shown = QDir::toNativeSeparators(QFileInfo(result.path).absoluteFilePath());
    if (!result.written()) {
        QMessageBox::warning(this, tr("Contact Sheet Not Saved"),
                             tr("The contact sheet could not be written to %1: %2").arg(shown, result.reason));
        return;
    }
    ui->statusLabel->setText(tr("Saved %1").arg(shown));
}

void ContactSheetDialog::on_copyButton_clicked()
{
    if (m_sheet.isNull())
        return;
    ImageProcessingManager::instance()->copyToClipboard(m_sheet);
    ui->statusLabel->setText(tr("Copied the contact sheet to the clipboard"));
}

void ContactSheetDialog::on_closeButton_clicked()
{
    accept();
}

void ContactSheetDialog::on_backgroundColorButton_clicked()
{
    const QColor colour = QColorDialog::getColor(ui->backgroundColorLabel->color(), this);
    if (!colour.isValid())
        return;
    ui->backgroundColorLabel->setColor(colour);
    settingsChanged();
}
