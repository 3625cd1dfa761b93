#include "ui/Flags.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "language/Language.h"
#include "prefs/RegistryValues.h"

namespace tarnwick {

namespace {

QIcon IconFromSvg(const QString& resource) {
  QSvgRenderer renderer(resource);
  if (!renderer.isValid()) return {};
  QIcon icon;
  // 3:2 pictures in the heights menus use at the common scale factors.
  for (int height : {12, 16, 24, 32}) {
    QPixmap pixmap(height * 3 / 2, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon LanguageFlag(std::uint8_t code) {
  const std::string part = LanguageDirectoryName(code);
  if (part.empty()) return {};
  return IconFromSvg(QStringLiteral(":/flags/%1.svg").arg(QString::fromStdString(part)));
}

QIcon AutomaticLanguageIcon() { return IconFromSvg(QStringLiteral(":/flags/AUTO.svg")); }

}  // namespace tarnwick
