#pragma once
// TStringHolder: a named list of lines that belongs to a window without being shown: the state
// holders of the user lists and the statistics lines. Stored with the window's settings under its
// object name. User-interface thread only.

#include <QObject>

#include <string>
#include <vector>

namespace tarnwick {

class TStringHolder : public QObject {
  Q_OBJECT

 public:
  TStringHolder(const QString& objectName, QObject* parent) : QObject(parent) { setObjectName(objectName); }

  std::vector<std::string> Strings;
};

}  // namespace tarnwick
