#include "ui/TranslateForm.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QWidget>

#include "language/Language.h"

namespace tarnwick {

namespace {

using TProperties = std::vector<TTextProperty>;

void AddToolTip(TProperties& out, QWidget* widget) {
  out.push_back({[widget] { return widget->toolTip(); }, [widget](const QString& v) { widget->setToolTip(v); }, true});
}

template <typename Widget, typename Getter, typename Setter>
void AddText(TProperties& out, Widget* widget, Getter get, Setter set) {
  out.push_back(
      {[widget, get] { return (widget->*get)(); }, [widget, set](const QString& v) { (widget->*set)(v); }, false});
}

QString TextAsToolTip(QString text) {
  text.remove(QLatin1Char('&'));
  if (text.endsWith(QStringLiteral("..."))) text.chop(3);
  if (text.endsWith(QChar(0x2026))) text.chop(1);
  return text.trimmed();
}

void AddAction(TProperties& out, QAction* action) {
  // A menu's own action carries the menu's title, which the menu gives already.
  if (auto* menu = qobject_cast<QMenu*>(action->parent()); menu && menu->menuAction() == action) return;
  AddText(out, action, &QAction::text, &QAction::setText);
  // An action without a hint of its own shows its text as its tool tip, less "&" and "...".
  out.push_back({[action] {
                   const QString tip = action->toolTip();
                   return tip == TextAsToolTip(action->text()) ? QString() : tip;
                 },
                 [action](const QString& v) { action->setToolTip(v); }, true});
}

void AddTabs(TProperties& out, QTabBar* bar) {
  for (int i = 0; i < bar->count(); ++i) {
    out.push_back({[bar, i] { return bar->tabText(i); }, [bar, i](const QString& v) { bar->setTabText(i, v); }, false});
    out.push_back(
        {[bar, i] { return bar->tabToolTip(i); }, [bar, i](const QString& v) { bar->setTabToolTip(i, v); }, true});
  }
}

void AddComboItems(TProperties& out, QComboBox* combo) {
  for (int i = 0; i < combo->count(); ++i) {
    out.push_back(
        {[combo, i] { return combo->itemText(i); }, [combo, i](const QString& v) { combo->setItemText(i, v); }, false});
  }
}

// The first matching kind decides, as a control belongs to one kind only.
void AddObject(TProperties& out, QObject* object) {
  if (auto* action = qobject_cast<QAction*>(object)) return AddAction(out, action);
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    AddText(out, button, &QAbstractButton::text, &QAbstractButton::setText);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    AddText(out, label, &QLabel::text, &QLabel::setText);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    AddText(out, group, &QGroupBox::title, &QGroupBox::setTitle);
  } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
    AddText(out, menu, &QMenu::title, &QMenu::setTitle);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    AddComboItems(out, combo);
  } else if (auto* bar = qobject_cast<QTabBar*>(widget)) {
    return AddTabs(out, bar);
  } else if (qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QTextEdit*>(widget) ||
             qobject_cast<QPlainTextEdit*>(widget)) {
    // List boxes and text boxes show the user's data, never a caption or hint of ours.
    return;
  }
  AddToolTip(out, widget);
}

}  // namespace

TProperties TextProperties(QWidget& form) {
  TProperties out;
  QWidget* self = &form;
  AddText(out, self, &QWidget::windowTitle, &QWidget::setWindowTitle);
  AddToolTip(out, self);
  for (QObject* child : form.findChildren<QObject*>()) AddObject(out, child);
  return out;
}

void TranslateForm(QWidget& form, const std::string& path, TLanguage& language) {
  const auto lines = language.Load(path);
  if (!lines) return;
  language.SetLanguageFile(path);
  for (auto& property : TextProperties(form)) {
    const QString value = property.Get();
    if (value.isEmpty()) continue;
    if (auto text = LookUpText(*lines, value.toStdString())) property.Set(QString::fromStdString(*text));
  }
}

void RestoreFormKeys(QWidget& form, const std::string& path, const TLanguage& language) {
  const auto lines = language.Load(path);
  if (!lines) return;
  for (auto& property : TextProperties(form)) {
    const QString value = property.Get();
    if (value.isEmpty()) continue;
    if (auto key = LookUpKey(*lines, value.toStdString())) property.Set(QString::fromStdString(*key));
  }
}

void TranslateForm(QWidget& form, TLanguage& language) { TranslateForm(form, language.LanguageFilePath(), language); }

QString Translated(const TLanguage& language, const char* key) {
  return QString::fromStdString(language.TranslateText(key));
}

QString TranslatedBlock(const TLanguage& language, const char* key) {
  return QString::fromStdString(language.TranslateBlock(key));
}

}  // namespace tarnwick
