#pragma once
// Small makers for the controls of the windows: each control carries its component name as its
// object name and its caption as its text. User-interface thread only.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tarnwick {

template <typename T>
T* Named(T* widget, const QString& objectName) {
  widget->setObjectName(objectName);
  return widget;
}

inline QLineEdit* MakeEdit(const QString& name, QWidget* parent) { return Named(new QLineEdit(parent), name); }

inline QCheckBox* MakeCheck(const QString& name, const QString& caption, QWidget* parent) {
  return Named(new QCheckBox(caption, parent), name);
}

inline QRadioButton* MakeRadio(const QString& name, const QString& caption, QWidget* parent) {
  return Named(new QRadioButton(caption, parent), name);
}

inline QPushButton* MakeButton(const QString& name, const QString& caption, QWidget* parent) {
  auto* button = Named(new QPushButton(caption, parent), name);
  button->setAutoDefault(false);
  return button;
}

// A caption label that gives the focus to `buddy`.
inline QLabel* MakeLabel(const QString& caption, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  if (buddy) label->setBuddy(buddy);
  return label;
}

}  // namespace tarnwick
