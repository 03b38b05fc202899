// Accelerators that stand for a character, such as Alt with "?": a keyboard delivers one
// with or without Shift, as its layout needs for the character, and Qt's shortcuts match
// only the exact combination. This catches the key presses no shortcut took.
#pragma once

#include <QKeyCombination>
#include <QObject>

#include <functional>
#include <vector>

class QWidget;

class CharacterAccelerators : public QObject {
  public:
    struct Entry {
        QKeyCombination keys;  // the character's key with the modifiers other than Shift
        int command;
    };

    // Watches the key presses that reach window's widgets (application-wide, since the
    // widget with the keyboard focus gets them first); window owns this object.
    CharacterAccelerators(QWidget& window, std::vector<Entry> entries,
                          std::function<void(int command)> dispatch);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    std::vector<Entry> entries_;
    std::function<void(int command)> dispatch_;
};
