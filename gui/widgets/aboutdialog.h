#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

class QLabel;

// The Help menu's About box: logo, version, the web site and the support
// mail address as links opened by the desktop's handlers.
//
// User-interface thread only; made for one modal run.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private:
    // Makes label a link to url showing text (url itself when text is null).
    static void setLinkLabel(QLabel *label, const QString &url, const QString &text = QString());

    std::unique_ptr<Ui::AboutDialog> ui;
};
