// The modal About box: caption "About", the program's name and version, and OK.
#pragma once

#include <QDialog>

class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* owner);
};
