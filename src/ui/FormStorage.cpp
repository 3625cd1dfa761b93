#include "ui/FormStorage.h"

#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>

#include "platform/IniFile.h"
#include "prefs/StoredProperties.h"
#include "text/UrlText.h"
#include "ui/CheckList.h"
#include "ui/RadioGroup.h"
#include "ui/StringHolder.h"

namespace tarnwick {

namespace {

QObject* Component(const QObject& root, std::string_view key) {
  return root.findChild<QObject*>(QString::fromStdString(std::string(ComponentName(key))));
}

std::optional<bool> ReadBool(const std::string& text) {
  if (SameTextIgnoringCase(text, "True")) return true;
  if (SameTextIgnoringCase(text, "False")) return false;
  return std::nullopt;
}

std::optional<int> ReadInt(const std::string& text) {
  std::int32_t value = 0;
  if (!ParseInt32(text, value)) return std::nullopt;
  return value;
}

std::optional<bool> Checked(const QObject* component) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(component)) return button->isChecked();
  if (const auto* action = qobject_cast<const QAction*>(component)) return action->isChecked();
  return std::nullopt;
}

void SetChecked(QObject* component, bool checked) {
  if (auto* radio = qobject_cast<QRadioButton*>(component)) {
    // A radio button is cleared by checking another one of its group, never by itself.
    if (checked) radio->setChecked(true);
  } else if (auto* button = qobject_cast<QAbstractButton*>(component)) {
    button->setChecked(checked);
  } else if (auto* action = qobject_cast<QAction*>(component)) {
    action->setChecked(checked);
  }
}

// The value of a stored property as it is written, or nothing when the component has no such
// property.
std::optional<std::string> StoredValue(const QObject* component, const TStoredProperty& property) {
  const std::string_view name = PropertyName(property.Key);
  switch (property.Form) {
    case TPropertyForm::Bool:
      if (const auto checked = Checked(component)) return *checked ? "True" : "False";
      return std::nullopt;
    case TPropertyForm::Text:
      if (const auto* edit = qobject_cast<const QLineEdit*>(component)) return edit->text().trimmed().toStdString();
      return std::nullopt;
    case TPropertyForm::Integer:
      if (const auto* group = qobject_cast<const TRadioGroup*>(component)) return std::to_string(group->ItemIndex());
      if (const auto* spin = qobject_cast<const QSpinBox*>(component); spin && name == "Value") {
        return std::to_string(spin->value());
      }
      return std::nullopt;
    case TPropertyForm::Page:
      if (const auto* pages = qobject_cast<const QTabWidget*>(component); pages && pages->currentWidget()) {
        return pages->currentWidget()->objectName().toStdString();
      }
      return std::nullopt;
    case TPropertyForm::List:
      return std::nullopt;
  }
  return std::nullopt;
}

void RestoreValue(QObject* component, const TStoredProperty& property, const std::string& value) {
  switch (property.Form) {
    case TPropertyForm::Bool:
      if (const auto checked = ReadBool(value)) SetChecked(component, *checked);
      break;
    case TPropertyForm::Text:
      if (auto* edit = qobject_cast<QLineEdit*>(component)) edit->setText(QString::fromStdString(value).trimmed());
      break;
    case TPropertyForm::Integer:
      if (const auto number = ReadInt(value)) {
        if (auto* group = qobject_cast<TRadioGroup*>(component)) group->SetItemIndex(*number);
        if (auto* spin = qobject_cast<QSpinBox*>(component)) spin->setValue(*number);
      }
      break;
    case TPropertyForm::Page:
      if (auto* pages = qobject_cast<QTabWidget*>(component)) {
        auto* page = pages->findChild<QWidget*>(QString::fromStdString(value));
        if (page && pages->indexOf(page) >= 0) pages->setCurrentWidget(page);
      }
      break;
    case TPropertyForm::List:
      break;
  }
}

std::optional<std::vector<std::string>> ListOf(const QObject* component) {
  if (const auto* list = qobject_cast<const TCheckList*>(component)) return list->Lines();
  if (const auto* holder = qobject_cast<const TStringHolder*>(component)) return holder->Strings;
  return std::nullopt;
}

void SetList(QObject* component, const std::vector<std::string>& lines) {
  if (auto* list = qobject_cast<TCheckList*>(component)) list->SetLines(lines);
  if (auto* holder = qobject_cast<TStringHolder*>(component)) holder->Strings = lines;
}

std::string ResolutionSuffix() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->size() : QSize(0, 0);
  return "(" + std::to_string(size.width()) + "x" + std::to_string(size.height()) + ")";
}

}  // namespace

void StoreProperties(const QObject& root, TIniFile& file) {
  for (const auto& property : StoredProperties()) {
    const QObject* component = Component(root, property.Key);
    if (!component) continue;
    if (property.Form == TPropertyForm::List) {
      if (const auto lines = ListOf(component)) WriteListSection(file, ListSectionName(property.Key), *lines);
    } else if (const auto value = StoredValue(component, property)) {
      file.WriteString(kSettingsSection, property.Key, *value);
    }
  }
}

void RestoreProperties(QObject& root, const TIniFile& file) {
  for (const auto& property : StoredProperties()) {
    QObject* component = Component(root, property.Key);
    if (!component) continue;
    if (property.Form == TPropertyForm::List) {
      std::vector<std::string> lines;
      if (ReadListSection(file, ListSectionName(property.Key), lines)) SetList(component, lines);
    } else if (const auto value = file.Read(kSettingsSection, property.Key)) {
      RestoreValue(component, property, *value);
    }
  }
}

void StorePlacement(const QWidget& window, TIniFile& file, std::string_view section) {
  const QRect frame = window.geometry();
  const std::string normal = std::to_string(frame.left()) + "," + std::to_string(frame.top()) + "," +
                             std::to_string(frame.right() + 1) + "," + std::to_string(frame.bottom() + 1);
  const std::string suffix = ResolutionSuffix();
  const int showCmd = window.isMinimized() ? 2 : window.isMaximized() ? 3 : 1;
  file.WriteString(section, "FormVersion", "0");
  file.WriteString(section, "Flags", "0");
  file.WriteString(section, "ShowCmd", std::to_string(showCmd));
  file.WriteString(section, "PixelsPerInch", std::to_string(window.logicalDpiY()));
  file.WriteString(section, "MinMaxPos", "-1,-1,-1,-1");
  file.WriteString(section, "MinMaxPos" + suffix, "-1,-1,-1,-1");
  file.WriteString(section, "NormPos", normal);
  file.WriteString(section, "NormPos" + suffix, normal);
  file.WriteString(section, "Visible", window.isVisible() ? "1" : "0");
  const QWidget* focus = window.focusWidget();
  file.WriteString(section, "ActiveControl", focus ? focus->objectName().toStdString() : std::string());
}

void RestorePlacement(QWidget& window, const TIniFile& file, std::string_view section) {
  auto position = file.Read(section, "NormPos" + ResolutionSuffix());
  if (!position) position = file.Read(section, "NormPos");
  if (position) {
    const auto fields = SplitText(*position, ',');
    std::vector<int> numbers;
    for (const auto& field : fields) {
      if (const auto number = ReadInt(std::string(field))) numbers.push_back(*number);
    }
    if (numbers.size() == 4) window.move(numbers[0], numbers[1]);
  }
  const std::string active = file.ReadString(section, "ActiveControl");
  if (active.empty()) return;
  auto* control = window.findChild<QWidget*>(QString::fromStdString(active));
  if (control && control->isEnabled() && control->focusPolicy() != Qt::NoFocus) control->setFocus();
}

}  // namespace tarnwick
