#pragma once
// Storing a window's state in the settings file, the way the settings were always kept: each stored
// property of a component is one key "<component>_<property>" of the window's section, found by the
// component's object name (see prefs/StoredProperties.h for the table), list properties are
// sections of their own, and the window's placement is a handful of keys beside them.
// User-interface thread only.

#include <string_view>

class QObject;
class QWidget;

namespace tarnwick {

class TIniFile;

// Writes every stored property found among `root`'s children to section "Corvane" and the list
// sections. Properties whose component does not exist are left out.
void StoreProperties(const QObject& root, TIniFile& file);
// Puts each stored value back into its component; a missing key or an unreadable value leaves the
// component as it is, a list section without entries leaves its list as it is.
void RestoreProperties(QObject& root, const TIniFile& file);

// "FormVersion", "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos" and "NormPos" (each also under
// the name followed by the screen resolution, e.g. "NormPos(1024x768)"), "Visible", "ActiveControl".
void StorePlacement(const QWidget& window, TIniFile& file, std::string_view section);
// Moves the window to its stored position (the resolution's own key first, the plain one else) and
// gives the stored control the focus when it still can take it. Size is left to the layout.
void RestorePlacement(QWidget& window, const TIniFile& file, std::string_view section);

}  // namespace tarnwick
