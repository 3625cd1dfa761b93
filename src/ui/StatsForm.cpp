#include "ui/StatsForm.h"

#include <QCloseEvent>
#include <QDate>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "prefs/Statistics.h"
#include "text/UrlText.h"
#include "ui/Widgets.h"

namespace tarnwick {

namespace {

std::optional<std::int64_t> Number(const std::vector<std::string>& lines, std::string_view key) {
  const auto text = StatValue(lines, key);
  std::int64_t value = 0;
  if (!text || !TryParseInteger(*text, value)) return std::nullopt;
  return value;
}

}  // namespace

QString FormatKilobytes(std::int64_t bytes, const QLocale& locale) {
  QLocale grouped = locale;
  grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return grouped.toString(static_cast<qlonglong>(bytes / 1024));
}

TStatsForm::TStatsForm(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("StatsForm"));
  setWindowTitle(QStringLiteral("#Statistic"));
  auto* grid = new QGridLayout;
  auto* filtered = new QLabel(QStringLiteral("#Filtered"), this);
  QFont bold = filtered->font();
  bold.setBold(true);
  filtered->setFont(bold);
  grid->addWidget(filtered, 0, 0, 1, 2);
  AddRow(grid, 1, QStringLiteral("#images:"), QStringLiteral("FltImagesCnt"), 12);
  AddRow(grid, 2, QStringLiteral("#windows:"), QStringLiteral("FltWindowsCnt"), 12);
  AddRow(grid, 3, QStringLiteral("#scripts:"), QStringLiteral("FltScriptsCnt"), 12);
  AddRow(grid, 4, QStringLiteral("#layers:"), QStringLiteral("FltLayersCnt"), 12);
  AddRow(grid, 5, QStringLiteral("#frames:"), QStringLiteral("FltFramesCnt"), 12);
  AddRow(grid, 6, QStringLiteral("#forms:"), QStringLiteral("FltFormsCnt"), 12);
  AddRow(grid, 7, QStringLiteral("#Images received:"), QStringLiteral("ImgCnt"));
  AddRow(grid, 8, QStringLiteral("#Connections made:"), QStringLiteral("ConnCnt"));
  AddRow(grid, 9, QStringLiteral("#Kilobytes sent:"), QStringLiteral("SentCnt"));
  grid->addWidget(new QLabel(QStringLiteral("#Kilobytes received"), this), 10, 0, 1, 2);
  AddRow(grid, 11, QStringLiteral("#directly"), QStringLiteral("RecvCnt"), 12);
  AddRow(grid, 12, QStringLiteral("#trough proxy"), QStringLiteral("RecvProxyCnt"), 12);
  AddRow(grid, 13, QStringLiteral("#Current connections:"), QStringLiteral("CurrConnCnt"));
  AddRow(grid, 14, QStringLiteral("#Statistics Since:"), QStringLiteral("SinceDate"));
  grid->setColumnMinimumWidth(1, 110);

  ProgressBar = Named(new QProgressBar(this), QStringLiteral("ProgressBar"));
  ProgressBar->setOrientation(Qt::Vertical);
  ProgressBar->setTextVisible(false);
  ProgressBar->setRange(0, 1);
  ProgressBar->setValue(0);
  ProgressBar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #1f4fd8; }"));
  ProgressBar->setFixedWidth(16);

  ResetButton = MakeButton(QStringLiteral("ResetButton"), QStringLiteral("#Reset"), this);
  OkButton = MakeButton(QStringLiteral("OkButton"), QStringLiteral("#Ok"), this);
  OkButton->setDefault(true);

  auto* body = new QHBoxLayout;
  body->addLayout(grid, 1);
  body->addWidget(ProgressBar);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ResetButton);
  buttons->addWidget(OkButton);
  RecentlyBlocked = Named(new QListWidget(this), QStringLiteral("RecentlyBlocked"));
  RecentlyBlocked->setFixedHeight(RecentlyBlocked->fontMetrics().height() * 7);
  RecentlyBlocked->setMinimumWidth(RecentlyBlocked->fontMetrics().averageCharWidth() * 60);
  RecentlyBlocked->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  auto* column = new QVBoxLayout(this);
  column->addLayout(body);
  column->addWidget(new QLabel(QStringLiteral("#Recently blocked:"), this));
  column->addWidget(RecentlyBlocked);
  column->addLayout(buttons);
  column->setSizeConstraint(QLayout::SetFixedSize);

  connect(OkButton, &QPushButton::clicked, this, &QWidget::close);
  connect(ResetButton, &QPushButton::clicked, this, &TStatsForm::ResetClicked);
}

void TStatsForm::ShowRecentBlocks(const std::vector<TBlockedRequest>& blocked) {
  // Newest on top: that is what someone asking "why was this just blocked?" looks for.
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(blocked.size()));
  for (auto it = blocked.rbegin(); it != blocked.rend(); ++it) {
    const QString when = QDateTime::fromSecsSinceEpoch(it->When).time().toString(QStringLiteral("HH:mm:ss"));
    lines.push_back(when + QStringLiteral("  ") + QString::fromStdString(it->Url) + QStringLiteral("  [") +
                    QString::fromStdString(it->Entry) + QStringLiteral("]"));
  }
  if (lines.size() == RecentlyBlocked->count()) {
    bool same = true;
    for (int i = 0; i < lines.size() && same; ++i) same = RecentlyBlocked->item(i)->text() == lines[i];
    if (same) return;  // the timer refreshes twice a second; keep the user's scroll position
  }
  RecentlyBlocked->clear();
  RecentlyBlocked->addItems(lines);
}

QLabel* TStatsForm::AddRow(QGridLayout* grid, int row, const QString& caption, const QString& valueName, int indent) {
  auto* label = new QLabel(caption, this);
  label->setIndent(indent);
  auto* value = Named(new QLabel(QStringLiteral("0"), this), valueName);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(label, row, 0);
  grid->addWidget(value, row, 1);
  Values[valueName] = value;
  return value;
}

void TStatsForm::UpdateDisplay(const std::vector<std::string>& lines, std::int32_t connections) {
  const auto images = Number(lines, "ImgCnt");
  const auto filtered = Number(lines, "FltImagesCnt");
  if (!images || !filtered) return;
  // A range of 0..0 would make the bar a busy indicator.
  ProgressBar->setRange(0, static_cast<int>(std::max<std::int64_t>({*images, *filtered, 1})));
  ProgressBar->setValue(static_cast<int>(std::max<std::int64_t>(*filtered, 0)));
  for (const char* key : {"FltImagesCnt", "FltFormsCnt", "FltFramesCnt", "FltLayersCnt", "FltScriptsCnt",
                          "FltWindowsCnt", "ImgCnt", "ConnCnt"}) {
    Values.at(QString::fromLatin1(key))->setText(QString::fromStdString(StatValue(lines, key).value_or(std::string())));
  }
  for (const char* key : {"SentCnt", "RecvCnt", "RecvProxyCnt"}) {
    const auto bytes = Number(lines, key);
    if (!bytes) return;
    Values.at(QString::fromLatin1(key))->setText(FormatKilobytes(*bytes, Locale));
  }
  const auto since = StatValue(lines, "SinceDate").value_or(std::string());
  Values.at(QStringLiteral("SinceDate"))
      ->setText(since.empty() ? Locale.toString(QDate::currentDate(), QLocale::LongFormat)
                              : QString::fromStdString(since));
  Values.at(QStringLiteral("CurrConnCnt"))->setText(QString::number(connections));
}

void TStatsForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

}  // namespace tarnwick
