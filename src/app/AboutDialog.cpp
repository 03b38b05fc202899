// The About box.
#include "app/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/ResourceTables.h"

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    auto* icon = new QLabel;
    icon->setPixmap(windowIcon().pixmap(32, 32));
    auto* text = new QLabel(QString::fromUtf8(Resources::LoadString(103)) +
                            QStringLiteral(" Version ") + QStringLiteral(BRIMWELL_VERSION));
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
