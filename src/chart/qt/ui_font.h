#pragma once
// The font of the window and its dialogs.
#include <QFont>

namespace quorvel {

// "MS Sans Serif" 8 pt where it exists; its closest metric stand-in otherwise.
inline QFont ClassicUiFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Liberation Sans", "Arial"});
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace quorvel
