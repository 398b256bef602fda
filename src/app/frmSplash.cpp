#include "app/frmSplash.h"

#include "widgets/artwork.h"
#include "platform/shell.h"

#include <QFrame>
#include <QGridLayout>
#include <QVBoxLayout>

namespace {

ClickLabel *label(QWidget *parent, const char *name, const QString &text, qreal points, bool bold,
                  const QColor &color = QColor(0, 0, 0))
{
    auto *l = new ClickLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setText(text);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

} // namespace

QString frmSplash::WebAddress()
{
    return QStringLiteral("https://www.kestrane.example/");
}

frmSplash::frmSplash(QWidget *parent) : SplashWindow(parent)
{
    setObjectName(QStringLiteral("frmSplash"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);

    // A click on the frame (not on a label) falls through to the window and hands over.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAutoFillBackground(true);
    QPalette white = Frame1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Frame1->setPalette(white);
    outer->addWidget(Frame1);

    auto *grid = new QGridLayout(Frame1);
    grid->setContentsMargins(16, 14, 16, 10);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(2);

    Image1 = new ClickLabel(Frame1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(TransmitterPicture(120, 118, false));
    connect(Image1, &ClickLabel::clicked, this, forms::Handler(this, &frmSplash::Image1_Click));
    imgLogo = new ClickLabel(Frame1);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(BrandLogo(BrandKestrane, 150, 44));

    const QColor navy(0, 0, 128);
    lblCompanyProduct = label(Frame1, "lblCompanyProduct", QStringLiteral("Kestrane"), 27.75, true, navy);
    lblProductName =
        label(Frame1, "lblProductName", QStringLiteral("Paging Encoder Setup v9"), 18, true);
    lblPlatform = label(Frame1, "lblPlatform", QStringLiteral("Windows 7 or XP"), 9.75, true);
    lblVersion = label(Frame1, "lblVersion", QString(), 9.75, true);
    lblCompany = label(Frame1, "lblCompany", QStringLiteral("Kestrane Radio Systems"), 8.25, false);
    lblCopyright = label(Frame1, "lblCopyright",
                         QStringLiteral("Copyright \u00a9 Kestrane Radio Systems. All rights reserved."),
                         8.25, false);
    lblTown = label(Frame1, "lblTown", QStringLiteral("Harbour Point"), 8.25, false);
    lblWarning = label(Frame1, "lblWarning", QStringLiteral("www.kestrane.example"), 9, true, navy);
    lblWarning->setCursor(Qt::PointingHandCursor);
    lblWarning->setAlignment(Qt::AlignCenter);
    connect(lblWarning, &ClickLabel::clicked, this,
            forms::Handler(this, &frmSplash::lblWarning_Click));

    auto *left = new QVBoxLayout;
    left->setSpacing(8);
    left->addWidget(Image1, 0, Qt::AlignLeft);
    left->addWidget(imgLogo, 0, Qt::AlignLeft);
    left->addStretch(1);

    auto *right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(lblCompanyProduct);
    right->addWidget(lblProductName);
    right->addSpacing(8);
    right->addWidget(lblPlatform);
    right->addWidget(lblVersion);
    right->addStretch(1);
    right->addWidget(lblCompany, 0, Qt::AlignRight);
    right->addWidget(lblCopyright, 0, Qt::AlignRight);
    right->addWidget(lblTown, 0, Qt::AlignRight);

    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    auto *rule = new QFrame(Frame1);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    grid->addWidget(rule, 1, 0, 1, 2);
    grid->addWidget(lblWarning, 2, 0, 1, 2);
    setFixedSize(sizeHint().expandedTo(QSize(540, 330)));
}

void frmSplash::Form_Load()
{
    loadSequence(lblVersion, BrandKestrane, true);
}

void frmSplash::lblWarning_Click()
{
    ShowMainWindow();
    ShellOpen(WebAddress());
}
