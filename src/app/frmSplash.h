#pragma once
// The Kestrane splash window: the start window under the Kestrane brand, and the About window
// of that brand. A white frame with the brand picture, the maker's logo, the product's name,
// the version and the maker's web address.

#include "widgets/controls.h"
#include "app/splashwindow.h"

class QFrame;

class frmSplash : public SplashWindow<frmSplash> {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);

    QFrame *Frame1 = nullptr;
    ClickLabel *Image1 = nullptr;
    ClickLabel *imgLogo = nullptr;
    ClickLabel *lblCompanyProduct = nullptr;
    ClickLabel *lblProductName = nullptr;
    ClickLabel *lblPlatform = nullptr;
    ClickLabel *lblVersion = nullptr;
    ClickLabel *lblWarning = nullptr;
    ClickLabel *lblCompany = nullptr;
    ClickLabel *lblCopyright = nullptr;
    ClickLabel *lblTown = nullptr;

    void Form_Load();
    void Frame1_Click() { HandOver(); }
    void Image1_Click() { HandOver(); }
    void lblWarning_Click();

    static QString WebAddress();
};
