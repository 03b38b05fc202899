// The program's dialogs shown with Qt: message boxes, QFileDialog and QPrintDialog.
#pragma once

#include "desktop/Dialogs.h"

class QtDialogs : public Dialogs {
  public:
    // owner: the window the message boxes are centred on, and the owner of the file and
    // print dialogs when a call names none; may be null (no owner).
    explicit QtDialogs(QWidget* owner = nullptr) : owner_(owner) {}

    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string& caption, const std::string& text, Icon icon) override;
    std::optional<QString> ChooseSaveFile(QWidget* owner, const SaveFileRequest& request) override;
    bool ChoosePrinter(QWidget* owner, QPrinter& printer) override;

  private:
    QWidget* owner_;
};
