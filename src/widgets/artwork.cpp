#include "widgets/artwork.h"

#include "model/state.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

QFont pixelFont(int pixels, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(qMax(1, pixels));
    f.setBold(bold);
    return f;
}

// A pager seen from the front, in a 20 x 16 box at (x, y).
void drawPager(QPainter &p, qreal x, qreal y, const QColor &body, qreal scale = 1.0)
{
    p.save();
    p.translate(x, y);
    p.scale(scale, scale);
    p.setPen(QPen(body.darker(160), 1.0));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(0, 0, 20, 16), 3, 3);
    p.setPen(QPen(QColor(60, 80, 40), 0.8));
    p.setBrush(QColor(190, 225, 150));
    p.drawRect(QRectF(3, 3, 14, 6));
    p.setPen(QPen(QColor(60, 80, 40), 0.8));
    p.drawLine(QPointF(5, 5), QPointF(13, 5));
    p.drawLine(QPointF(5, 7), QPointF(10, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(body.lighter(170));
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(4 + i * 5, 11, 3, 3));
    p.restore();
}

// An encoder in a rack case, across the bottom of a 32 x 32 icon.
void drawEncoderBox(QPainter &p)
{
    QLinearGradient g(0, 20, 0, 30);
    g.setColorAt(0, QColor(84, 110, 122));
    g.setColorAt(1, QColor(38, 50, 56));
    p.setPen(QPen(QColor(30, 40, 45), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2.5, 19.5, 27, 10), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 230, 118));
    p.drawEllipse(QRectF(5, 23, 3, 3));
    p.setBrush(QColor(255, 193, 7));
    p.drawEllipse(QRectF(10, 23, 3, 3));
    p.setPen(QPen(QColor(176, 190, 197), 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(17 + i * 3, 22.5), QPointF(17 + i * 3, 26.5));
}

void drawArrow(QPainter &p, bool down, const QColor &color)
{
    QPainterPath path;
    if (down) {
        path.moveTo(12, 2);
        path.lineTo(20, 2);
        path.lineTo(20, 10);
        path.lineTo(25, 10);
        path.lineTo(16, 18);
        path.lineTo(7, 10);
        path.lineTo(12, 10);
    } else {
        path.moveTo(16, 1);
        path.lineTo(25, 9);
        path.lineTo(20, 9);
        path.lineTo(20, 17);
        path.lineTo(12, 17);
        path.lineTo(12, 9);
        path.lineTo(7, 9);
    }
    path.closeSubpath();
    p.setPen(QPen(color.darker(150), 1));
    p.setBrush(color);
    p.drawPath(path);
}

void drawGear(QPainter &p)
{
    const QPointF c(16, 16);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a0 = (i * M_PI) / teeth;
        const qreal a1 = ((i + 1) * M_PI) / teeth;
        const qreal r = (i % 2 == 0) ? 14.0 : 10.5;
        const QPointF p0 = c + QPointF(r * qCos(a0), r * qSin(a0));
        const QPointF p1 = c + QPointF(r * qCos(a1), r * qSin(a1));
        if (i == 0)
            gear.moveTo(p0);
        else
            gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 4.5, 4.5);
    QRadialGradient g(c, 14);
    g.setColorAt(0, QColor(144, 164, 174));
    g.setColorAt(1, QColor(69, 90, 100));
    p.setPen(QPen(QColor(38, 50, 56), 1));
    p.setBrush(g);
    p.drawPath(gear.subtracted(hole));
}

void drawBubble(QPainter &p)
{
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2.5, 4.5, 27, 18), 5, 5);
    QPainterPath tail;
    tail.moveTo(8, 21);
    tail.lineTo(6, 29);
    tail.lineTo(15, 21);
    tail.closeSubpath();
    p.setPen(QPen(QColor(21, 101, 192), 1.5));
    p.setBrush(QColor(227, 242, 253));
    p.drawPath(bubble.united(tail));
    p.setPen(QPen(QColor(21, 101, 192), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 10), QPointF(24, 10));
    p.drawLine(QPointF(8, 14), QPointF(24, 14));
    p.drawLine(QPointF(8, 18), QPointF(18, 18));
}

// A lattice mast with radio waves; box 0..w, 0..h.
void drawMast(QPainter &p, const QRectF &box, const QColor &steel, const QColor &wave)
{
    const qreal w = box.width(), h = box.height();
    const qreal cx = box.left() + w / 2, top = box.top() + qMax(h * 0.18, w * 0.42), bottom = box.bottom();
    const qreal half = w * 0.16;
    QPen pen(steel, qMax(1.0, w / 22));
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(cx, top), QPointF(cx - half, bottom));
    p.drawLine(QPointF(cx, top), QPointF(cx + half, bottom));
    const int rungs = 4;
    for (int i = 1; i <= rungs; ++i) {
        const qreal y = top + (bottom - top) * i / (rungs + 0.3);
        const qreal dx = half * (y - top) / (bottom - top);
        p.drawLine(QPointF(cx - dx, y), QPointF(cx + dx, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(wave);
    p.drawEllipse(QPointF(cx, top), w / 18, w / 18);
    QPen wp(wave, qMax(1.2, w / 18));
    wp.setCapStyle(Qt::RoundCap);
    p.setPen(wp);
    for (int i = 1; i <= 2; ++i) {
        const qreal r = w * (0.13 + 0.13 * i);
        const QRectF arc(cx - r, top - r, 2 * r, 2 * r);
        p.drawArc(arc, 30 * 16, 60 * 16);
        p.drawArc(arc, 90 * 16, 60 * 16);
    }
}

void paintToolbarIcon(QPainter &p, const QString &key)
{
    p.setRenderHint(QPainter::Antialiasing);
    if (key == QLatin1String("sequence")) {
        drawPager(p, 9, 3, QColor(120, 144, 156));
        drawPager(p, 6, 8, QColor(84, 110, 122));
        drawPager(p, 3, 13, QColor(38, 50, 56));
    } else if (key == QLatin1String("group")) {
        drawPager(p, 1, 12, QColor(84, 110, 122), 0.72);
        drawPager(p, 17, 12, QColor(84, 110, 122), 0.72);
        drawPager(p, 8, 15, QColor(38, 50, 56), 0.8);
        QPen wp(QColor(255, 143, 0), 2);
        wp.setCapStyle(Qt::RoundCap);
        p.setPen(wp);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(9, 2, 14, 14), 40 * 16, 100 * 16);
        p.drawArc(QRectF(5, -2, 22, 22), 45 * 16, 90 * 16);
    } else if (key == QLatin1String("message")) {
        drawBubble(p);
    } else if (key == QLatin1String("settings")) {
        drawGear(p);
    } else if (key == QLatin1String("program")) {
        drawEncoderBox(p);
        drawArrow(p, true, QColor(46, 160, 67));
    } else if (key == QLatin1String("read")) {
        drawEncoderBox(p);
        drawArrow(p, false, QColor(30, 136, 229));
    } else if (key == QLatin1String("test")) {
        drawMast(p, QRectF(2, 2, 28, 28), QColor(69, 90, 100), QColor(255, 111, 0));
    }
}

void drawDisc(QPainter &p, const QRectF &r, bool connected)
{
    p.setRenderHint(QPainter::Antialiasing);
    const QColor light = connected ? QColor(120, 240, 120) : QColor(255, 130, 120);
    const QColor mid = connected ? QColor(30, 180, 60) : QColor(220, 40, 30);
    const QColor dark = connected ? QColor(8, 96, 28) : QColor(130, 12, 8);
    QRadialGradient g(r.center() - QPointF(r.width() * 0.18, r.height() * 0.2), r.width() * 0.7);
    g.setColorAt(0, light);
    g.setColorAt(0.45, mid);
    g.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(140), qMax(1.0, r.width() / 24)));
    p.setBrush(g);
    p.drawEllipse(r);
    QRadialGradient shine(r.center() - QPointF(0, r.height() * 0.22), r.width() * 0.38);
    shine.setColorAt(0, QColor(255, 255, 255, 170));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QRectF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.08,
                         r.width() * 0.6, r.height() * 0.42));
}

void drawKestraneEmblem(QPainter &p, const QRectF &r)
{
    // A stylised kestrel: two swept wings over a disc.
    QRadialGradient g(r.center(), r.width() / 2);
    g.setColorAt(0, QColor(21, 101, 192));
    g.setColorAt(1, QColor(13, 48, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(r);
    const qreal w = r.width(), h = r.height();
    QPainterPath wing;
    wing.moveTo(r.left() + w * 0.12, r.top() + h * 0.58);
    wing.cubicTo(r.left() + w * 0.35, r.top() + h * 0.30, r.left() + w * 0.62,
                 r.top() + h * 0.22, r.left() + w * 0.90, r.top() + h * 0.22);
    wing.cubicTo(r.left() + w * 0.70, r.top() + h * 0.38, r.left() + w * 0.58,
                 r.top() + h * 0.48, r.left() + w * 0.50, r.top() + h * 0.62);
    wing.cubicTo(r.left() + w * 0.40, r.top() + h * 0.55, r.left() + w * 0.26,
                 r.top() + h * 0.55, r.left() + w * 0.12, r.top() + h * 0.58);
    p.setBrush(QColor(255, 193, 7));
    p.drawPath(wing);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(r.left() + w * 0.42, r.top() + h * 0.62, w * 0.16, h * 0.16));
}

void drawSolvendraEmblem(QPainter &p, const QRectF &r)
{
    // A sun with an orbit ring.
    QRadialGradient g(r.center(), r.width() / 2);
    g.setColorAt(0, QColor(255, 214, 0));
    g.setColorAt(1, QColor(245, 124, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    const qreal inset = r.width() * 0.2;
    p.drawEllipse(r.adjusted(inset, inset, -inset, -inset));
    QPen ring(QColor(0, 150, 200), qMax(1.5, r.width() / 14));
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.save();
    p.translate(r.center());
    p.rotate(-25);
    p.drawEllipse(QPointF(0, 0), r.width() / 2 - ring.widthF(), r.height() / 4.2);
    p.restore();
}

} // namespace

QIcon ToolbarIcon(const QString &key)
{
    QIcon icon;
    for (int size : {32, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.scale(size / 32.0, size / 32.0);
        paintToolbarIcon(p, key);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap ConnectionDisc(bool connected, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const qreal m = size * 0.06;
    drawDisc(p, QRectF(m, m, size - 2 * m, size - 2 * m), connected);
    return pm;
}

QPixmap BrandLogo(const QByteArray &brand, int width, int height)
{
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF emblem(2, 2, height - 4, height - 4);
    const bool solv = brand == BrandSolvendra;
    if (solv)
        drawSolvendraEmblem(p, emblem);
    else
        drawKestraneEmblem(p, emblem);
    const QRectF textBox(height + 4, 0, width - height - 6, height);
    p.setPen(solv ? QColor(0, 105, 150) : QColor(13, 48, 120));
    const QString name = solv ? QStringLiteral("SOLVENDRA") : QStringLiteral("KESTRANE");
    QFont nameFont = pixelFont(int(height * 0.46), true);
    while (nameFont.pixelSize() > 6 &&
           QFontMetricsF(nameFont).horizontalAdvance(name) > textBox.width())
        nameFont.setPixelSize(nameFont.pixelSize() - 1);
    p.setFont(nameFont);
    p.drawText(textBox.adjusted(0, 0, 0, -height * 0.34), Qt::AlignLeft | Qt::AlignBottom, name);
    p.setPen(QColor(90, 90, 90));
    p.setFont(pixelFont(int(height * 0.2), false));
    p.drawText(textBox.adjusted(1, height * 0.68, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("PAGING SYSTEMS"));
    return pm;
}

QIcon BrandIcon(const QByteArray &brand)
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        if (brand == BrandSolvendra)
            drawSolvendraEmblem(p, QRectF(0, 0, size, size));
        else
            drawKestraneEmblem(p, QRectF(0.5, 0.5, size - 1, size - 1));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap TransmitterPicture(int width, int height, bool onDark)
{
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Hills at the foot of the mast.
    QPainterPath hills;
    hills.moveTo(0, height);
    hills.cubicTo(width * 0.25, height * 0.78, width * 0.55, height * 0.96, width, height * 0.82);
    hills.lineTo(width, height);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(onDark ? QColor(20, 60, 140) : QColor(200, 220, 240));
    p.drawPath(hills);
    drawMast(p, QRectF(width * 0.15, height * 0.02, width * 0.7, height * 0.9),
             onDark ? QColor(220, 230, 245) : QColor(55, 71, 79),
             onDark ? QColor(255, 202, 40) : QColor(245, 124, 0));
    return pm;
}

QPixmap SolvendraSplashArtwork(int width, int height)
{
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0, 0, 192));
    sky.setColorAt(1, QColor(0, 0, 90));
    p.fillRect(pm.rect(), sky);
    // Faint rings spreading from the mast.
    const QRectF mastBox(width * 0.04, height * 0.12, width * 0.40, height * 0.84);
    const QPointF origin(mastBox.center().x(), mastBox.top() + mastBox.height() * 0.3);
    for (int i = 1; i <= 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 40 - i * 5), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(origin, i * width * 0.09, i * width * 0.09);
    }
    const QPixmap mast = TransmitterPicture(int(mastBox.width()), int(mastBox.height()), true);
    p.drawPixmap(mastBox.topLeft(), mast);

    // The text column starts right of the centre.
    const qreal x = width * 0.52;
    const qreal column = width - x - width * 0.03;
    const qreal emblemSize = height * 0.12;
    const QRectF emblem(x, height * 0.12, emblemSize, emblemSize);
    drawSolvendraEmblem(p, emblem);
    p.setPen(Qt::white);
    p.setFont(pixelFont(int(height * 0.105), true));
    p.drawText(QRectF(emblem.right() + 8, emblem.top() - emblemSize, column, emblemSize * 3),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Solvendra"));
    p.setFont(pixelFont(int(height * 0.056), true));
    p.setPen(QColor(255, 214, 0));
    p.drawText(QRectF(x, height * 0.27, column, height * 0.08), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("R-740 Paging Encoder"));
    p.setPen(Qt::white);
    p.setFont(pixelFont(int(height * 0.05), false));
    p.drawText(QRectF(x, height * 0.35, column, height * 0.07), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Paging Encoder Setup"));
    p.setPen(QColor(200, 210, 255));
    p.setFont(pixelFont(int(height * 0.04), false));
    p.drawText(QRectF(x, height * 0.74, column, height * 0.2),
               Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
               QStringLiteral("Encoder configuration, pager database and test paging"));
    return pm;
}
