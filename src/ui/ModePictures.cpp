#include "ui/ModePictures.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tarnwick {

namespace {

// Renders one SVG document at the size asked for, so that the picture stays sharp from a 16-pixel
// tray slot to a 256-pixel task switcher. The disabled look is a greyed copy of the same drawing.
class TSvgIconEngine : public QIconEngine {
 public:
  explicit TSvgIconEngine(QByteArray document) : Document(std::move(document)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    QSvgRenderer renderer(Document);
    if (mode == QIcon::Disabled) painter->setOpacity(0.45);
    renderer.render(painter, rect);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return picture;
  }

  QIconEngine* clone() const override { return new TSvgIconEngine(Document); }
  QString key() const override { return QStringLiteral("TarnwickSvg"); }
  bool isNull() override { return Document.isEmpty(); }

 private:
  QByteArray Document;
};

QIcon SvgIcon(const QString& name) {
  QFile file(QStringLiteral(":/icons/") + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  // QIcon takes ownership of its engine.
  return QIcon(new TSvgIconEngine(file.readAll()));
}

}  // namespace

QIcon ModeIcon(TTrayMode mode) {
  switch (mode) {
    case TTrayMode::Offline:
      return SvgIcon(QStringLiteral("tray-offline.svg"));
    case TTrayMode::PassThru:
      return SvgIcon(QStringLiteral("tray-passthru.svg"));
    case TTrayMode::Normal:
      break;
  }
  return SvgIcon(QStringLiteral("tray-normal.svg"));
}

std::vector<QIcon> BusyFrames() {
  std::vector<QIcon> frames;
  for (int i = 1; i <= 4; ++i) frames.push_back(SvgIcon(QStringLiteral("tray-busy-%1.svg").arg(i)));
  return frames;
}

}  // namespace tarnwick
