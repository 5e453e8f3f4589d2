// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

namespace vp {

// A picture control: shows its picture stretched to the control's size (or unscaled at the
// top-left corner). Emits clique() on a left click.
class ImageEtiree : public QWidget {
    Q_OBJECT
public:
    explicit ImageEtiree(QWidget* parent = nullptr, bool etiree = true);

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }

signals:
    void clique();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void preparer();

    QImage image_;
    QImage affichee_;
    bool etiree_;
};

}  // namespace vp
