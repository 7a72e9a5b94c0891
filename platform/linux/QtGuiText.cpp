// How the 8-bit texts of the program become what a Qt widget shows.
#include "platform/linux/QtGuiText.h"

namespace proccpu::platform::qtgui {

namespace {

// Unicode's "Control Pictures" block holds a visible symbol for each C0 control and for DEL.
constexpr char16_t controlPicturesBase = 0x2400;
constexpr char16_t deletePicture = 0x2421;
constexpr char16_t firstPrintable = 0x20;
constexpr char16_t deleteCharacter = 0x7f;

// Other characters that would break the line or are invisible controls (C1, U+2028, U+2029).
bool breaksLine(QChar c) {
  const QChar::Category category = c.category();
  return category == QChar::Other_Control || category == QChar::Separator_Line ||
         category == QChar::Separator_Paragraph;
}

}  // namespace

QString fromProgramText(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString cellDisplayText(const std::string& text) {
  QString shown = fromProgramText(text);
  for (QChar& c : shown) {
    const char16_t code = c.unicode();
    if (code < firstPrintable) {
      c = QChar(static_cast<char16_t>(controlPicturesBase + code));
    } else if (code == deleteCharacter) {
      c = QChar(deletePicture);
    } else if (breaksLine(c)) {
      c = QChar(QChar::ReplacementCharacter);
    }
  }
  return shown;
}

}  // namespace proccpu::platform::qtgui
