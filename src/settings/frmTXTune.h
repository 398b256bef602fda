#pragma once
// Transmitter tuning: three buttons make the encoder send a test signal at 512, 1200 or
// 2400 bps, and a slider sets the overall gain of its analog modulated output. The gain becomes
// the encoder's coarse and fine modulation attenuation, sent when the slider is let go (a left
// mouse button or a moving key released), never while its thumb is dragged. The slider's
// position lives in sModSliderVal for the whole run; Exit stores it as a preference.
//
// One exchange at a time: a tone button pressed while an attenuation exchange waits for the
// encoder does nothing, and a slider let go meanwhile is remembered, so that the position the
// slider shows when the exchange ends is sent once more when it differs from the one just sent.
// The window does not touch the database: it never marks it modified.

#include "platform/forms.h"

#include <QByteArray>

#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class frmTXTune : public forms::DialogForm<frmTXTune> {
    Q_OBJECT
public:
    explicit frmTXTune(QWidget *parent = nullptr);

    // Controls.
    std::array<QLabel *, 2> Label1{}; // the instructions for the tones and for the slider
    QPushButton *cmd512 = nullptr;
    QPushButton *cmd1200 = nullptr;
    QPushButton *cmd2400 = nullptr;
    QSlider *Slider1 = nullptr;       // 0 to 834: +6.0 dB down to -77.4 dB
    QLabel *Label2 = nullptr;         // "Modulation Overall Gain"
    QLineEdit *Text1 = nullptr;       // the gain in dB
    QAction *mnuExit = nullptr;

    void Form_Load();
    void cmd512_Click();
    void cmd1200_Click();
    void cmd2400_Click();
    void Slider1_Scroll();
    void Slider1_MouseUp(Qt::MouseButton Button);
    void Slider1_KeyUp(int KeyCode); // a Qt::Key
    void mnuExit_Click();
    void Form_Unload();

private:
    void showGain();
    void sendTone(const QByteArray &command);
    void sendAttenuation();

    bool m_exchanging = false; // an attenuation exchange waits for the encoder
    bool m_sendAgain = false;  // the slider was let go during it
};
