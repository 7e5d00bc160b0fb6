// A Russian and a Latin keyboard layout put a letter of each on one key
// (ЙЦУКЕН over QWERTY). A shortcut written with a letter of one works, by
// its key, while the other layout is active.
#pragma once

#include <QChar>

namespace quillmark {

class LayoutTwins {
public:
    /// The letter on the same key in the other layout, in upper case; null
    /// when the key has no letter there.
    static QChar twinOf(QChar letter);
    /// The letter a button's caption marks with '&' for Alt, in upper case;
    /// null when it marks none.
    static QChar mnemonicOf(const QString& caption);
};

} // namespace quillmark
