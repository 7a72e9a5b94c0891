// How the 8-bit texts of the program become what a Qt widget shows.
#pragma once

#include <QString>

#include <string>

namespace proccpu::platform::qtgui {

/// The text decoded from the local 8-bit encoding; bytes that do not decode become U+FFFD.
QString fromProgramText(const std::string& text);

/// The text of one list cell: decoded like fromProgramText, with every control character (line feed,
/// tab, ...) replaced by its visible symbol so the text stays on one line inside its own cell.
QString cellDisplayText(const std::string& text);

}  // namespace proccpu::platform::qtgui
