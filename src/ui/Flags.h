#pragma once
// The small flag pictures of the language menu, drawn from the program's own SVG files at the
// sizes a menu asks for. User-interface thread only.

#include <QIcon>

#include <cstdint>

namespace tarnwick {

// The flag of a language code; English for 0 and 4, an empty icon for an unknown code.
QIcon LanguageFlag(std::uint8_t code);
// The picture of "the language the system gives".
QIcon AutomaticLanguageIcon();

}  // namespace tarnwick
