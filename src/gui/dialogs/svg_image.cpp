#include "gui/dialogs/svg_image.h"

#include <QPainter>
#include <QPaintDevice>

namespace orvanta::gui {

QString Artwork(const char *name) { return QStringLiteral(":/artwork/%1.svg").arg(QLatin1String(name)); }

SvgImage::SvgImage(const QString &source, QWidget *parent) : QWidget(parent) { SetSource(source); }

void SvgImage::SetSource(const QString &source) {
  source_ = source;
  renderer_.load(source);
  cache_ = {};
  update();
}

void SvgImage::SetArtworkSize(QSize size) {
  artworkSize_ = size;
  cache_ = {};
  update();
}

void SvgImage::paintEvent(QPaintEvent *) {
  if (!renderer_.isValid())
    return;
  QPainter painter(this);
  const qreal ratio = painter.device()->devicePixelRatioF();
  const QSize logical = artworkSize_.isValid() ? artworkSize_ : size();
  const QSize physical = (QSizeF(logical) * ratio).toSize();
  if (cache_.size() != physical || !qFuzzyCompare(cache_.devicePixelRatio(), ratio)) {
    cache_ = QPixmap(physical);
    cache_.fill(Qt::transparent);
    QPainter artwork(&cache_);
    artwork.setRenderHint(QPainter::Antialiasing);
    renderer_.render(&artwork, QRectF(QPointF(0, 0), QSizeF(physical)));
    cache_.setDevicePixelRatio(ratio);
  }
  painter.drawPixmap(0, 0, cache_);
}

} // namespace orvanta::gui
