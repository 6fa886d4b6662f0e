#pragma once

#include <QImage>
#include <QWidget>

// Paints one image as large as fits inside the widget, keeping its aspect
// ratio and centred; the image is enlarged as well as reduced. A null image
// paints nothing, so the widget's own background shows.
//
// User-interface thread only.
class ImageView : public QWidget
{
public:
    explicit ImageView(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    QImage image() const { return m_image; }
    void setImage(const QImage &image);

    // Where the image is painted in the widget's current size.
    QRect imageRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
