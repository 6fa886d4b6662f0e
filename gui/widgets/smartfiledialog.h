#pragma once

#include <QFileDialog>
#include <QString>

// A file dialog that remembers, per dialog name, its own state (view mode,
// column sizes, history) and the folder it was last accepted in, so a
// dialog opens where the user left it, across runs and whichever window
// opens it. Names in use: "openDialog", "batchOutputFolder",
// "watermarkImageDialog". Settings live in the per-user store under
// <name>_dialogState and <name>_dialogPath; a cancelled dialog stores nothing.
//
// User-interface thread only; made for one selection as a child of its user.
class SmartFileDialog : public QFileDialog
{
    Q_OBJECT

public:
    SmartFileDialog(QWidget *parent, const QString &name);

    // "Image Files (...)" or "Video Files (...)", then "All Files (*.*)".
    void setImageNameFilters();
    void setVideoNameFilters();

public slots:
    void dialogFinished(int result);
    void saveSettings();

private:
    QString dialogName;
};
