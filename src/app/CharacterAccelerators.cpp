// Matching a key press against the character accelerators, Shift left out.
#include "app/CharacterAccelerators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

CharacterAccelerators::CharacterAccelerators(QWidget& window, std::vector<Entry> entries,
                                             std::function<void(int command)> dispatch)
    : QObject(&window),
      window_(window),
      entries_(std::move(entries)),
      dispatch_(std::move(dispatch)) {
    qApp->installEventFilter(this);
}

bool CharacterAccelerators::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &window_)
        return false;  // another window, a modal dialog among them
    const auto* key = static_cast<QKeyEvent*>(event);
    // Shift is whatever the layout needs for the character ("?" is Shift+"/" on many,
    // "/" is Shift+"7" on others); the keypad flag says only where the key is.
    const Qt::KeyboardModifiers others =
        key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    for (const Entry& entry : entries_) {
        if (entry.keys.key() == key->key() && entry.keys.keyboardModifiers() == others) {
            dispatch_(entry.command);
            return true;
        }
    }
    return false;
}
