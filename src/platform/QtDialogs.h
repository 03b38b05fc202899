// The program's dialogs shown with Qt message boxes.
#pragma once

#include "platform/Dialogs.h"

class QWidget;

class QtDialogs : public Dialogs {
  public:
    // owner: the window the boxes are centred on; may be null (no owner).
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}

    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string& caption, const std::string& text, Icon icon) override;

  private:
    QWidget* owner_;
};
