// Start-up of the main window: start values, "setup.ini", the brand, the stored preferences,
// the serial port (left closed), the reopen of the last database file and the status texts.

#include "app/frmTerminal.h"
#include "encoder/link.h"
#include "model/atten.h"
#include "model/database.h"
#include "model/dbfile.h"
#include "model/encoderports.h"
#include "model/inifile.h"
#include "model/state.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/serialport.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "widgets/artwork.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPushButton>
#include <QScreen>

// QT_LOGGING_RULES="pagersetup.files.debug=true" shows where start-up looks for its files.
Q_LOGGING_CATEGORY(lcFiles, "pagersetup.files", QtWarningMsg)

namespace {

const QString kProperties = QStringLiteral("Properties");
const QString kPorts = QStringLiteral("Ports");

bool iniSwitch(const QString &iniPath, const char *key)
{
    bool readable = false;
    const QByteArray value = GetIniValue(iniPath, "Main", key, &readable);
    if (!readable)
        return false;
    return IniFlag(value);
}

// The stored "CommPort" as a whole number; 0 when it is not one or does not fit.
int16_t portNumberOf(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < INT16_MIN || n > INT16_MAX)
        return 0;
    return int16_t(n);
}

// A Group ID as the start-up reopen judges it: defined when it reads as a whole number above
// zero, and also when it does not read as a number at all.
bool reopenDefinesGroup(const QByteArray &groupID)
{
    bool ok = false;
    const double value = groupID.trimmed().toDouble(&ok);
    if (!ok)
        return true;
    return qRound64(value) > 0;
}

} // namespace

void frmTerminal::Form_Load()
{
    // 1. Start values of the settings and flags.
    ApplyStartValues();
    const bool kestrane = Run.sBrand == BrandKestrane;
    const bool solvendra = Run.sBrand == BrandSolvendra;

    // 2. Another copy running: a warning, then a normal start.
    if (PreviousInstance(BrandTitle())) {
        if (kestrane)
            MsgBox(QStringLiteral("Kestrane Paging Encoder Setup is already running."),
                   MsgButtons::OK, MsgIcon::Exclamation, BrandTitle());
        else if (solvendra)
            MsgBox(QStringLiteral("Solvendra R-740 Paging Encoder Setup is already running."),
                   MsgButtons::OK, MsgIcon::Exclamation, BrandTitle());
    }

    // 3. The user's home folder becomes the current folder; the program's own files are found
    // in its data folder.
    QDir::setCurrent(QDir::homePath());
    const QString folder = DataFolder();
    qCDebug(lcFiles) << "data folder:" << folder;

    // 4. "setup.ini" switches (the user's own setup.ini comes first).
    const QString ini = SetupIniPath();
    qCDebug(lcFiles) << "setup.ini:" << ini << (QFileInfo(ini).isFile() ? "found" : "absent");
    Run.bVirginMode = iniSwitch(ini, "VirginMode");
    if (Run.bVirginMode)
        lblVirgin->setVisible(true);
    Run.bTestEnabled = iniSwitch(ini, "TestEnabled");
    if (Run.bTestEnabled)
        mnuTXTune->setVisible(true);

    // 5. Help manual and brand pictures.
    if (kestrane)
        HelpFile = QDir(folder).filePath(QStringLiteral("ZQSETUP.PDF"));
    else if (solvendra)
        HelpFile = QDir(folder).filePath(QStringLiteral("XJSETUP.PDF"));
    qCDebug(lcFiles) << "help manual:" << HelpFile << (QFileInfo(HelpFile).isFile() ? "found" : "absent");
    if (solvendra) {
        Image1->setVisible(false);
        Picture1->setVisible(false);
        Label25->setText(QStringLiteral("R-740 Paging Encoder"));
    }

    // 6. Window size (11910 x 4620 twips), or what the layout needs when that is more.
    const QSize designed(794, 308);
    resize(designed.expandedTo(minimumSizeHint()).expandedTo(sizeHint()));

    // 7. Titles; the stored preferences live under this title from here on.
    if (kestrane || solvendra) {
        SetAppTitle(BrandTitle());
        setWindowTitle(BrandTitle());
        setWindowIcon(BrandIcon(Run.sBrand));
    }

    // 8 to 10.
    StatusBar1->setPanelText(1, QStringLiteral("No Database Loaded"));
    mnuSave->setEnabled(false);
    BringToFront(ImgNotConnected);

    // 11. Centred on the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }

    // 12. Line settings. Settings the port refuses are reported, and the port then runs at
    // 9600,n,8,1 so that start-up can finish.
    const QString stored = GetSetting(kProperties, QStringLiteral("Settings"));
    if (!stored.isEmpty()) {
        if (const CommError e = Link().setLine(stored.toLatin1())) {
            MsgBox(QStringLiteral("Error in setting COM object: ") + e.text, MsgButtons::OK,
                   MsgIcon::Exclamation, AppTitle());
            SetDefaultPointer();
            Link().setLine("9600,n,8,1");
        }
    } else {
        Link().setLine("9600,n,8,1");
        SaveSetting(kProperties, QStringLiteral("Settings"),
                    QString::fromLatin1(Link().lineSettings()));
    }

    // 13. Port number; the port stays closed.
    const QString storedPort = GetSetting(kProperties, QStringLiteral("CommPort"));
    if (storedPort.isEmpty()) {
        Run.iCommPort = 1;
        SaveSetting(kProperties, QStringLiteral("CommPort"), QStringLiteral("1"));
    } else {
        Run.iCommPort = portNumberOf(storedPort);
    }
    Link().setPortNumber(Run.iCommPort);

    // The COM map beside them, so that a user who must lead a COM number elsewhere finds the
    // table to edit. Only missing keys are written, with the default map's paths (which a
    // missing key stands for anyway): a user's entry, even an empty one, stays as it is.
    for (int number = 1; number <= 8; ++number) {
        const QString key = QStringLiteral("COM%1").arg(number);
        if (!HasSetting(AppTitle(), kPorts, key))
            SaveSetting(kPorts, key, DefaultComDevicePath(number));
    }

    // 14. The last file, the tuning slider and the station ID.
    const QString lastFile = GetSetting(kProperties, QStringLiteral("LastFile"));
    if (!lastFile.isEmpty()) {
        const QFileInfo info(lastFile);
        // A bare name (as older versions kept it) lies in the current folder, the home folder.
        Run.sDBFilePath = info.isAbsolute() ? lastFile : QDir::home().filePath(lastFile);
        Run.sDBFileName = info.fileName().toLatin1();
    } else {
        Run.sDBFilePath.clear();
        Run.sDBFileName.clear();
    }
    EncoderSettings.sModSliderVal =
        GetSetting(AppTitle(), kProperties, QStringLiteral("ModSliderVal"), QStringLiteral("47"))
            .toLatin1();
    EncoderSettings.sStationID = GetSetting(kProperties, QStringLiteral("StationID")).toLatin1();

    // 15. Port texts.
    const QString n = QString::number(Link().portNumber());
    ImgNotConnected->setToolTip(QStringLiteral(" Enable COM ") + n + QLatin1Char(' '));
    ImgConnected->setToolTip(QStringLiteral(" Disable COM ") + n + QLatin1Char(' '));
    cmdComStatus->setText(QStringLiteral("Open COM ") + n);

    // 16. The last database file.
    reopenLastFile();

    // 17 to 19.
    StatusBar1->setPanelText(2, QStringLiteral("COM ") + n + QStringLiteral(" Closed"));
    InitAttenTable();
    Run.bSuppressEvents = false;
}

void frmTerminal::reopenLastFile()
{
    if (Run.sDBFileName.isEmpty() || Run.sDBFilePath.isEmpty() || !QFileInfo::exists(Run.sDBFilePath))
        return;
    // A file that cannot be read whole (not a regular file, too large, unreadable) is skipped
    // like one that cannot be opened: nothing half loaded, no message.
    QByteArray content;
    QString error;
    if (!ReadWholeFile(Run.sDBFilePath, &content, &error))
        return;

    const DBFileReadResult result = ReadDBFile(content);
    // The reopen judges a group by its Group ID's value: "0" and "000" leave it undefined.
    for (PagerGroupRec &group : DB.PagerGroups)
        if (group[GrpDefined] == "YES" && !reopenDefinesGroup(group[GrpID]))
            group[GrpDefined].clear();
    if (result.notes)
        txtConfigNotes->setNotes(*result.notes);
    if (result.incCapBy8Label)
        lblIncBy8->setText(QString::fromLatin1(IncBy8LabelText(*result.incCapBy8Label)));
    if (result.port1IDAsCapLabel)
        lblIDAsCap->setText(
            QString::fromLatin1(IDAsCapLabelText(*result.port1IDAsCapLabel, 1)));
    StatusBar1->setPanelText(1, QStringLiteral("Loaded Database File: ") +
                                    QString::fromLatin1(Run.sDBFileName));
}
