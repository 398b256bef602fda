#include "app/frmXJSplash.h"

#include "widgets/artwork.h"

namespace {
constexpr int kWidth = 500;
constexpr int kHeight = 310;
} // namespace

frmXJSplash::frmXJSplash(QWidget *parent) : SplashWindow(parent)
{
    setObjectName(QStringLiteral("frmXJSplash"));
    setFixedSize(kWidth, kHeight);

    // The picture fills the window; a click on it falls through to the window and hands over.
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(0, 0, kWidth, kHeight);
    Picture1->setPixmap(SolvendraSplashArtwork(kWidth, kHeight));

    // Right of the centre, a little above the middle; clicks on it do nothing.
    lblVersion = new ClickLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9.75);
    font.setBold(true);
    lblVersion->setFont(font);
    lblVersion->setAutoFillBackground(true);
    QPalette pal = lblVersion->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblVersion->setPalette(pal);
    lblVersion->setContentsMargins(6, 2, 6, 2);
    lblVersion->move(int(kWidth * 0.52), int(kHeight * 0.45));
}

void frmXJSplash::Form_Load()
{
    loadSequence(lblVersion, BrandSolvendra, false);
    lblVersion->adjustSize();
}
