#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>
#include <QSvgRenderer>
#include <QWidget>

namespace orvanta::gui {

// An image control whose picture is an SVG of the artwork (":/artwork/x.svg"),
// drawn for the pixel ratio of whatever it paints on, so it stays crisp at
// 100 %, 150 % and 200 %. The picture fills the control unless an artwork
// size is set: then it is drawn at that size from the left edge and a
// narrower control shows only its left part (the progress fill).
class SvgImage : public QWidget {
  Q_OBJECT
public:
  SvgImage(const QString &source, QWidget *parent);

  const QString &Source() const { return source_; }
  void SetSource(const QString &source);
  void SetArtworkSize(QSize size);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QString source_;
  QSvgRenderer renderer_;
  QSize artworkSize_;
  QPixmap cache_;
};

// ":/artwork/" + name + ".svg"
QString Artwork(const char *name);

} // namespace orvanta::gui
