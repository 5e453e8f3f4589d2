// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageEtiree.h"

#include <QMouseEvent>
#include <QPainter>

namespace vp {

ImageEtiree::ImageEtiree(QWidget* parent, bool etiree) : QWidget(parent), etiree_(etiree) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageEtiree::setImage(const QImage& image) {
    image_ = image;
    preparer();
    update();
}

void ImageEtiree::preparer() {
    // Scaled once when the picture changes, not at every repaint.
    if (!etiree_ || image_.isNull() || image_.size() == size())
        affichee_ = image_;
    else
        affichee_ = image_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ImageEtiree::paintEvent(QPaintEvent*) {
    if (affichee_.isNull()) return;
    QPainter p(this);
    p.drawImage(0, 0, affichee_);
}

void ImageEtiree::resizeEvent(QResizeEvent*) {
    preparer();
}

void ImageEtiree::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit clique();
    QWidget::mousePressEvent(e);
}

}  // namespace vp
