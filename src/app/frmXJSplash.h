#pragma once
// The Solvendra splash window: the program's start window under the Solvendra brand, and the
// About window of that brand. One picture fills it; the version stands on it.

#include "widgets/controls.h"
#include "app/splashwindow.h"

class frmXJSplash : public SplashWindow<frmXJSplash> {
    Q_OBJECT
public:
    explicit frmXJSplash(QWidget *parent = nullptr);

    QLabel *Picture1 = nullptr;
    ClickLabel *lblVersion = nullptr;

    void Form_Load();
    void Picture1_Click() { HandOver(); }
};
