// The main window's client area between the menu bar and the status bar: the toolbar at
// the top, keeping the width it was created with, the band right of it filled with
// RGB(111, 111, 111), and the content area (tree, splitter, panel) from 2 pixels above
// the toolbar's bottom edge down to the status bar, over the toolbar's lowest 2 pixels.
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

class ClientArea : public QWidget {
    Q_OBJECT

  public:
    static constexpr QColor kBandColor{111, 111, 111};

    explicit ClientArea(QWidget* parent = nullptr);

    // The toolbar becomes a child of this area at (0, 0), width wide and as high as it
    // would like to be; neither changes afterwards.
    void SetToolbar(QWidget* toolbar, int width);
    // The content area becomes a child of this area and fills it below ContentTop().
    void SetContent(QWidget* content);

    // Where the content area starts: the toolbar's height - 2, or 0 without a toolbar.
    int ContentTop() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void Layout();

    QPointer<QWidget> toolbar_;
    QPointer<QWidget> content_;
};
