// The program's dialogs as one small interface, so that the window can show them with Qt
// and tests can answer them. Texts are 8-bit strings as the program holds them (UTF-8).
// Every call is modal: it returns once the user has answered. No owner window is implied
// for the message boxes; an implementation may centre them on the main window when there
// is one.
#pragma once

#include <QString>

#include <optional>
#include <string>

// What the save dialog of the Export command shows and how it behaves.
struct SaveFileRequest {
    QString title = QStringLiteral("Export File Size Info");
    QString defaultName = QStringLiteral("File Size Info.txt");
    QString typeLabel = QStringLiteral("*.TXT");    // the one entry of the type list
    QString typePattern = QStringLiteral("*.TXT");  // the files that entry lists
    bool confirmOverwrite = true;                   // ask before replacing a file
    QString defaultSuffix;  // empty: a name typed without extension is used as typed
};

class QPrinter;
class QWidget;

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
    // The save-file dialog, set up as request describes and owned by owner (may be null):
    // the chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseSaveFile(QWidget* owner,
                                                  const SaveFileRequest& request) = 0;
    // The print dialog for printer, owned by owner (may be null): the printer (a PDF file
    // among the choices) and the number of copies, no page range. True when the user chose
    // to print; printer then holds the choices.
    virtual bool ChoosePrinter(QWidget* owner, QPrinter& printer) = 0;
};
