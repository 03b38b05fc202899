// The program's dialogs as one small interface, so that the window can show them with Qt
// and tests can answer them. Texts are 8-bit strings as the program holds them (UTF-8).
// Every call is modal: it returns once the user has answered. No owner window is implied;
// an implementation may centre dialogs on the main window when there is one.
#pragma once

#include <string>

class Dialogs {
  public:
    enum class Icon { None, Information, Warning, Error };

    virtual ~Dialogs() = default;

    // A question with Yes and No buttons and the question icon; true for Yes. Closing the
    // dialog without choosing counts as No.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
    // A message with a single OK button.
    virtual void ShowMessage(const std::string& caption, const std::string& text,
                             Icon icon = Icon::None) = 0;
};
