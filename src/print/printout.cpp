// The two-page listing arrives with the database printout; until then the program prints a
// plain listing of the families, groups and messages with the notes.

#include "print/printout.h"

#include "widgets/artwork.h"
#include "model/database.h"
#include "model/state.h"
#include "platform/msgbox.h"
#include "platform/pointer.h"
#include "platform/shell.h"

#include <QPainter>
#include <QPrinter>

namespace {

QString joined(const QList<QByteArray> &fields)
{
    QStringList out;
    for (const QByteArray &f : fields)
        out << QString::fromLatin1(f);
    return out.join(QStringLiteral(", "));
}

} // namespace

void mnuPrintDB_Click(QWidget *owner, const QString &notes)
{
    QPrinter printer;
    if (!PrinterDialog(owner, printer))
        return;

    SetHourglassPointer();
    QStringList lines;
    lines << QStringLiteral("Pager Families");
    for (int i = 0; i < FamilyCount; ++i)
        if (DB.Families[i][FamDefined] == "YES")
            lines << QStringLiteral("  %1: ").arg(i + 1) +
                         joined(QList<QByteArray>(DB.Families[i].begin(), DB.Families[i].begin() + FamDefined));
    lines << QString() << QStringLiteral("Pager Groups");
    for (int i = 0; i < GroupCount; ++i)
        if (DB.PagerGroups[i][GrpDefined] == "YES")
            lines << QStringLiteral("  %1: ").arg(i + 1) +
                         joined(QList<QByteArray>(DB.PagerGroups[i].begin(),
                                                  DB.PagerGroups[i].begin() + GrpDefined));
    lines << QString() << QStringLiteral("Canned Messages");
    for (int i = 0; i < MessageCount; ++i)
        if (!DB.CannedMsgs[i].isEmpty())
            lines << QStringLiteral("  %1: ").arg(i + 1) + QString::fromLatin1(DB.CannedMsgs[i]);
    lines << QString() << QStringLiteral("Notes: ") + notes;

    QPainter p;
    if (!p.begin(&printer)) {
        SetDefaultPointer();
        MsgBox(QStringLiteral("The printer could not be started."), MsgButtons::OK,
               MsgIcon::Exclamation);
        return;
    }
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int lineHeight = p.fontMetrics().height();
    const QPixmap logo = BrandLogo(Run.sBrand, 300, 90);
    int y = 0;
    auto header = [&] {
        p.drawPixmap(QRect(0, 0, printer.resolution() * 2, printer.resolution() * 6 / 10), logo);
        y = printer.resolution() * 8 / 10;
        p.drawText(0, y, BrandTitle() + QStringLiteral(" - ") + QString::fromLatin1(Run.sDBFileName));
        y += 2 * lineHeight;
    };
    header();
    for (const QString &line : lines) {
        if (y + lineHeight > page.height()) {
            printer.newPage();
            header();
        }
        p.drawText(0, y, line);
        y += lineHeight;
    }
    p.end();
    SetDefaultPointer();
}
