#pragma once

#include <QWidget>

class QLabel;

// The start-up window: a borderless picture with the product title and the
// program's file version, centred on the desktop. The program shows and
// paints it before anything else is created and never closes it; the main
// window covers it.
class TSplashFrm : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashFrm(QWidget *parent = nullptr);

    // Places the window in the middle of its screen.
    void centre();

    QLabel *Image1 = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
};
