#include "settings/frmTXTune.h"

#include "encoder/link.h"
#include "encoder/terminalview.h"
#include "encoder/write/writemodatten.h"
#include "model/attenmath.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/settingsstore.h"
#include "settings/settingswidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr int SliderPageStep = 5;

// A slider that reports a released mouse button and a released key after it has handled them
// itself (so a drag has ended before anything is sent). A key held down reports its release
// once. The wheel does not move it: a wheel turn has no release to send the attenuation on,
// and the gain shown would not be the encoder's.
class ReleaseSlider final : public QSlider {
public:
    using QSlider::QSlider;
    std::function<void(Qt::MouseButton)> mouseUp;
    std::function<void(int)> keyUp;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QSlider::mouseReleaseEvent(event);
        if (mouseUp)
            mouseUp(event->button());
    }
    void keyReleaseEvent(QKeyEvent *event) override
    {
        QSlider::keyReleaseEvent(event);
        if (keyUp && !event->isAutoRepeat())
            keyUp(event->key());
    }
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }
};

void portClosedBox()
{
    MsgBox(QStringLiteral("COM Port Not Open"), MsgButtons::OK, MsgIcon::None, QStringLiteral("Communications Error"));
}

} // namespace

frmTXTune::frmTXTune(QWidget *parent) : DialogForm(parent)
{
    setObjectName(QStringLiteral("frmTXTune"));
    setWindowTitle(QStringLiteral("Transmitter Tuning"));
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto *menu = new QMenuBar(this);
    mnuExit = menu->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    layout->setMenuBar(menu);

    const char *const instructions[] = {
        "Use the buttons below to cause the paging encoder to output a modulated signal.  You can use "
        "these signals to tune attached transmitters for proper waveform shaping.  Outputs are available "
        "in   512, 1200, and 2400 bps.",
        "Use the slider below to adjust the paging encoder's analog modulated data output for those "
        "transmitters that use the analog output of the encoder."};
    for (int i = 0; i < 2; ++i) {
        Label1[size_t(i)] = new QLabel(QString::fromLatin1(instructions[i]), this);
        Label1[size_t(i)]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[size_t(i)]->setWordWrap(true);
        Label1[size_t(i)]->setFixedWidth(420);
    }

    layout->addWidget(Label1[0]);
    auto *tones = new QHBoxLayout;
    cmd512 = new QPushButton(QStringLiteral("512 bps"), this);
    cmd512->setObjectName(QStringLiteral("cmd512"));
    cmd1200 = new QPushButton(QStringLiteral("1200 bps"), this);
    cmd1200->setObjectName(QStringLiteral("cmd1200"));
    cmd2400 = new QPushButton(QStringLiteral("2400 bps"), this);
    cmd2400->setObjectName(QStringLiteral("cmd2400"));
    for (QPushButton *b : {cmd512, cmd1200, cmd2400}) {
        b->setAutoDefault(false);
        tones->addWidget(b);
    }
    layout->addLayout(tones);
    layout->addSpacing(10);
    layout->addWidget(Label1[1]);

    auto *slider = new ReleaseSlider(Qt::Horizontal, this);
    Slider1 = slider;
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setRange(SliderMin, SliderMax);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(SliderPageStep);
    Slider1->setFocus();
    layout->addWidget(Slider1);
    auto *gain = new QHBoxLayout;
    Label2 = new QLabel(QStringLiteral("Modulation Overall Gain"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Text1 = new QLineEdit(QStringLiteral("6.0"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setMaximumWidth(70);
    Label2->setBuddy(Text1);
    gain->addStretch(1);
    gain->addWidget(Label2);
    gain->addWidget(Text1);
    gain->addStretch(1);
    layout->addLayout(gain);

    connect(cmd512, &QPushButton::clicked, this, forms::Handler(this, &frmTXTune::cmd512_Click));
    connect(cmd1200, &QPushButton::clicked, this, forms::Handler(this, &frmTXTune::cmd1200_Click));
    connect(cmd2400, &QPushButton::clicked, this, forms::Handler(this, &frmTXTune::cmd2400_Click));
    connect(Slider1, &QSlider::valueChanged, this, forms::Handler(this, &frmTXTune::Slider1_Scroll));
    slider->mouseUp = forms::Handler(this, &frmTXTune::Slider1_MouseUp);
    slider->keyUp = forms::Handler(this, &frmTXTune::Slider1_KeyUp);
    connect(mnuExit, &QAction::triggered, this, forms::Handler(this, &frmTXTune::mnuExit_Click));
}

void frmTXTune::Form_Load()
{
    // The stored position is read as a database write reads it, so both send the same.
    {
        const QSignalBlocker quiet(Slider1);
        Slider1->setValue(SliderPosition(EncoderSettings.sModSliderVal));
    }
    showGain();
    settingsui::CentreOnScreen(this);
}

void frmTXTune::showGain()
{
    EncoderSettings.sAttenDB = GainForSlider(Slider1->value()).toText();
    Text1->setText(QString::fromLatin1(EncoderSettings.sAttenDB));
}

void frmTXTune::cmd512_Click()
{
    sendTone("TEST512");
}

void frmTXTune::cmd1200_Click()
{
    sendTone("TEST1200");
}

void frmTXTune::cmd2400_Click()
{
    sendTone("TEST2400");
}

// A tone command gets no answer.
void frmTXTune::sendTone(const QByteArray &command)
{
    if (m_exchanging)
        return;
    EncoderLink &link = Link();
    if (!link.isOpen()) {
        portClosedBox();
        return;
    }
    link.discardInput();
    link.Send(command + '\r', true);
}

void frmTXTune::Slider1_Scroll()
{
    EncoderSettings.sModSliderVal = QByteArray::number(Slider1->value());
    showGain();
}

void frmTXTune::Slider1_MouseUp(Qt::MouseButton Button)
{
    if (Button == Qt::LeftButton)
        sendAttenuation();
}

void frmTXTune::Slider1_KeyUp(int KeyCode)
{
    switch (KeyCode) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        sendAttenuation();
        break;
    case Qt::Key_Home:
    case Qt::Key_End:
        Slider1_Scroll();
        sendAttenuation();
        break;
    default:
        break;
    }
}

void frmTXTune::sendAttenuation()
{
    if (m_exchanging) {
        m_sendAgain = true; // sent when the running exchange has ended
        return;
    }
    EncoderLink &link = Link();
    for (;;) {
        const int position = Slider1->value();
        const ModAtten atten = ModAttenForGain(GainForSlider(position));
        EncoderSettings.sModSliderVal = QByteArray::number(position);
        EncoderSettings.sModAttenC = atten.coarse;
        EncoderSettings.sModAttenF = atten.fine;
        if (!link.isOpen()) {
            portClosedBox();
            return;
        }
        SetHourglassPointer();
        m_exchanging = true;
        m_sendAgain = false;
        const ModAttenOutcome outcome = SendModAtten(link, atten, HoldsAny({"\r"}));
        m_exchanging = false;
        SetDefaultPointer();
        // A window closed meanwhile shows no slider any more; the program may be closing.
        if (outcome == ModAttenOutcome::Closing || isUnloaded())
            return;
        if (!m_sendAgain || Slider1->value() == position)
            return;
    }
}

void frmTXTune::mnuExit_Click()
{
    SaveSetting(QStringLiteral("Properties"), QStringLiteral("ModSliderVal"),
                QString::fromLatin1(EncoderSettings.sModSliderVal));
    forms::UnloadForm(this);
}

void frmTXTune::Form_Unload()
{
    EncoderLink &link = Link();
    if (link.isOpen())
        link.view().SetEnabled(TerminalView::Command::TestMenu, true);
}
