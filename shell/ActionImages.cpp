#include "shell/ActionImages.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

namespace {

// The palette every image keeps to.
const QColor kLine(52, 62, 74);
const QColor kBlue(45, 112, 190);
const QColor kLightBlue(170, 204, 238);
const QColor kGreen(46, 150, 72);
const QColor kRed(200, 52, 44);
const QColor kYellow(240, 190, 64);
const QColor kGrey(138, 146, 156);
const QColor kPaper(255, 255, 255);
const QColor kWood(176, 122, 70);

QImage Draw(const std::function<void(QPainter&)>& draw)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kLine, 1));
    draw(p);
    return image;
}

// A rectangle on pixel centres: its outline covers the pixels x..x+w, y..y+h.
QRectF Box(double x, double y, double w, double h)
{
    return QRectF(x + 0.5, y + 0.5, w, h);
}

// A small window: white, outlined, with a blue title bar.
void Window(QPainter& p, double x, double y, double w, double h)
{
    p.setBrush(kPaper);
    p.drawRect(Box(x, y, w, h));
    p.fillRect(QRectF(x + 1, y + 1, w - 1, 2), kBlue);
}

// An arrow from `from` to `to` with a head of `head` pixels.
void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, double head = 3.5)
{
    p.save();
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::FlatCap));
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    p.drawLine(from, to - u * head);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{to, to - u * head * 1.3 + n * head, to - u * head * 1.3 - n * head});
    p.restore();
}

// An arrow along an arc (angles in degrees, counter-clockwise from three
// o'clock), its head a triangle.
void TurningArrow(QPainter& p, const QRectF& arc, int start, int span, const QPolygonF& head, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(arc, start * 16, span * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
    p.restore();
}

void Envelope(QPainter& p)
{
    p.setBrush(kPaper);
    p.drawRect(Box(1, 3, 14, 10));
    p.drawPolyline(QPolygonF{{1.5, 3.5}, {8.5, 9.5}, {15.5, 3.5}});
}

void Globe(QPainter& p, const QPointF& centre, double r)
{
    p.setBrush(kLightBlue);
    p.drawEllipse(centre, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 1));
    p.drawEllipse(centre, r * 0.45, r);
    p.drawLine(centre - QPointF(r, 0), centre + QPointF(r, 0));
    p.drawLine(centre - QPointF(r * 0.85, r * 0.5), centre + QPointF(r * 0.85, -r * 0.5));
    p.drawLine(centre - QPointF(r * 0.85, -r * 0.5), centre + QPointF(r * 0.85, r * 0.5));
    p.setPen(QPen(kLine, 1));
    p.drawEllipse(centre, r, r);
}

void Page(QPainter& p, double x, double y, double w, double h)
{
    p.setBrush(kPaper);
    p.drawPolygon(QPolygonF{{x + 0.5, y + 0.5}, {x + w - 2.5, y + 0.5}, {x + w + 0.5, y + 3.5},
                            {x + w + 0.5, y + h + 0.5}, {x + 0.5, y + h + 0.5}});
    p.save();
    p.setPen(QPen(kGrey, 1));
    for (double line = y + 4; line < y + h - 1; line += 2)
        p.drawLine(QPointF(x + 2.5, line + 0.5), QPointF(x + w - 1.5, line + 0.5));
    p.restore();
}

void Cross(QPainter& p, const QPointF& centre, double r)
{
    p.save();
    p.setPen(QPen(kRed, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(-r, -r), centre + QPointF(r, r));
    p.drawLine(centre + QPointF(-r, r), centre + QPointF(r, -r));
    p.restore();
}

} // namespace

std::vector<std::pair<const char*, QImage>> ActionImages()
{
    std::vector<std::pair<const char*, QImage>> images;
    // A chip with a green arrow going up into it.
    images.emplace_back("acUploadFirmware", Draw([](QPainter& p) {
        p.setBrush(kGrey.darker(130));
        p.drawRect(Box(1, 7, 9, 7));
        for (int x = 2; x <= 9; x += 2) {
            p.drawLine(QPointF(x + 0.5, 5.5), QPointF(x + 0.5, 7));
            p.drawLine(QPointF(x + 0.5, 14), QPointF(x + 0.5, 15.5));
        }
        Arrow(p, {13, 15}, {13, 1}, kGreen);
    }));
    // Three sliders.
    images.emplace_back("actSetParameter", Draw([](QPainter& p) {
        const double knobs[3] = {4, 10, 6};
        for (int i = 0; i < 3; ++i) {
            const double y = 3.5 + 4.5 * i;
            p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
            p.setBrush(kBlue);
            p.drawRect(QRectF(knobs[i] - 1.5, y - 2, 3, 4));
        }
    }));
    // A gear.
    images.emplace_back("actExtendedOptions", Draw([](QPainter& p) {
        QPainterPath gear;
        const QPointF c(8, 8);
        for (int i = 0; i < 16; ++i) {
            const double a = i * M_PI / 8;
            const double r = i % 2 == 0 ? 7.2 : 5.2;
            const double spread = M_PI / 16;
            const QPointF p1 = c + QPointF(std::cos(a - spread), std::sin(a - spread)) * r;
            const QPointF p2 = c + QPointF(std::cos(a + spread), std::sin(a + spread)) * r;
            if (i == 0)
                gear.moveTo(p1);
            else
                gear.lineTo(p1);
            gear.lineTo(p2);
        }
        gear.closeSubpath();
        gear.addEllipse(c, 2.2, 2.2);
        p.setBrush(kGrey);
        p.drawPath(gear);
    }));
    // A radio module with its antenna and a green tick: the device to work with.
    images.emplace_back("actSelectDevice", Draw([](QPainter& p) {
        p.drawLine(QPointF(3.5, 6), QPointF(3.5, 0.5));
        p.setBrush(kGrey.darker(120));
        p.drawRoundedRect(Box(1, 6, 9, 9), 1.5, 1.5);
        p.fillRect(QRectF(3, 8, 5, 2), kLightBlue);
        p.save();
        p.setPen(QPen(kGreen, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{{9.5, 5}, {11.5, 7.5}, {15, 2}});
        p.restore();
    }));
    // A serial plug with its pins and cable.
    images.emplace_back("acOptionenSchnittstelle", Draw([](QPainter& p) {
        p.setBrush(kLightBlue);
        p.drawPolygon(QPolygonF{{0.5, 2.5}, {15.5, 2.5}, {13.5, 9.5}, {2.5, 9.5}});
        p.setPen(Qt::NoPen);
        p.setBrush(kLine);
        for (int i = 0; i < 5; ++i)
            p.drawEllipse(QPointF(3.5 + 2.25 * i, 4.5), 0.8, 0.8);
        for (int i = 0; i < 4; ++i)
            p.drawEllipse(QPointF(4.6 + 2.25 * i, 7.5), 0.8, 0.8);
        p.setPen(QPen(kLine, 2));
        p.drawLine(QPointF(8, 10), QPointF(8, 16));
    }));
    // Two speech bubbles.
    images.emplace_back("actChangeLanguage", Draw([](QPainter& p) {
        p.setBrush(kLightBlue);
        p.drawRoundedRect(Box(0, 1, 10, 7), 2, 2);
        p.drawPolygon(QPolygonF{{2.5, 8.5}, {2.5, 11.5}, {5.5, 8.5}});
        p.setBrush(kYellow);
        p.drawRoundedRect(Box(5, 6, 10, 7), 2, 2);
        p.drawPolygon(QPolygonF{{13.5, 13.5}, {13.5, 15.5}, {10.5, 13.5}});
        p.save();
        p.setPen(QPen(kLine, 1));
        p.drawLine(QPointF(7.5, 9), QPointF(12.5, 9));
        p.drawLine(QPointF(7.5, 11), QPointF(11.5, 11));
        p.restore();
    }));
    // A key.
    images.emplace_back("acInputExtentionKey", Draw([](QPainter& p) {
        p.setBrush(kYellow);
        QPainterPath key;
        key.addEllipse(QPointF(4.5, 8), 3.8, 3.8);
        key.addRect(QRectF(8, 7, 7.5, 2.5));
        key.addRect(QRectF(12, 9, 1.8, 2.5));
        key.addRect(QRectF(14, 9, 1.5, 3.5));
        p.drawPath(key.simplified());
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(3.5, 8), 1.2, 1.2);
    }));
    // A dialog and an arrow that brings it back.
    images.emplace_back("acResetDialogs", Draw([](QPainter& p) {
        Window(p, 0, 1, 11, 9);
        TurningArrow(p, QRectF(6.5, 6.5, 8, 8), 90, 270, QPolygonF{{10.5, 4}, {13.5, 6.5}, {10.5, 9}}, kGreen);
    }));
    // A page and an arrow into it: the state written to the log.
    images.emplace_back("acDebugSaveStateToLog", Draw([](QPainter& p) {
        Page(p, 1, 0, 10, 15);
        Arrow(p, {13, 3}, {13, 15}, kGreen);
    }));
    // A letter with a red warning sign: the error report.
    images.emplace_back("acSendErrorLog", Draw([](QPainter& p) {
        Envelope(p);
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(11.5, 11.5), 4.2, 4.2);
        p.fillRect(QRectF(10.8, 8.6, 1.5, 3.6), kPaper);
        p.fillRect(QRectF(10.8, 13, 1.5, 1.5), kPaper);
    }));
    images.emplace_back("acSendMailAction1", Draw([](QPainter& p) { Envelope(p); }));
    images.emplace_back("acWebAction", Draw([](QPainter& p) { Globe(p, {8, 8}, 7); }));
    // The information sign.
    images.emplace_back("acInfoUeber", Draw([](QPainter& p) {
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.fillRect(QRectF(7, 7, 2, 5.5), kPaper);
        p.fillRect(QRectF(7, 4, 2, 2), kPaper);
    }));
    // A door and the way out.
    images.emplace_back("FileExit1", Draw([](QPainter& p) {
        p.setBrush(kWood);
        p.drawRect(Box(1, 1, 8, 14));
        p.setPen(Qt::NoPen);
        p.setBrush(kLine);
        p.drawEllipse(QPointF(7, 8.5), 0.9, 0.9);
        Arrow(p, {6, 8.5}, {15.5, 8.5}, kRed);
    }));
    images.emplace_back("acCloseAllWindows", Draw([](QPainter& p) {
        Window(p, 0, 0, 10, 8);
        Window(p, 3, 4, 10, 8);
        Cross(p, {12.5, 12.5}, 2.5);
    }));
    images.emplace_back("acFilePrintSetup", Draw([](QPainter& p) {
        Page(p, 4, 0, 8, 7);
        p.setBrush(kGrey);
        p.drawRoundedRect(Box(0, 6, 15, 6), 1.5, 1.5);
        p.setBrush(kPaper);
        p.drawRect(Box(3, 10, 9, 5));
        p.fillRect(QRectF(12, 8, 2, 1), kGreen);
    }));
    // The edit actions.
    images.emplace_back("EditCut1", Draw([](QPainter& p) {
        p.setPen(QPen(kGrey.darker(140), 1.5));
        p.drawLine(QPointF(5, 1), QPointF(10.5, 10));
        p.drawLine(QPointF(11, 1), QPointF(5.5, 10));
        p.setPen(QPen(kRed, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4.5, 12.5), 2.5, 2.5);
        p.drawEllipse(QPointF(11.5, 12.5), 2.5, 2.5);
    }));
    images.emplace_back("EditCopy1", Draw([](QPainter& p) {
        Page(p, 0, 0, 9, 11);
        Page(p, 6, 4, 9, 11);
    }));
    images.emplace_back("EditPaste1", Draw([](QPainter& p) {
        p.setBrush(kWood);
        p.drawRoundedRect(Box(1, 2, 11, 13), 1, 1);
        p.setBrush(kGrey);
        p.drawRect(Box(4, 0, 5, 3));
        Page(p, 7, 6, 8, 9);
    }));
    images.emplace_back("EditSelectAll1", Draw([](QPainter& p) {
        p.save();
        p.setPen(QPen(kBlue, 1, Qt::DashLine));
        p.drawRect(Box(0, 0, 15, 15));
        p.restore();
        p.setPen(QPen(kLine, 1));
        for (int y = 4; y <= 11; y += 3)
            p.drawLine(QPointF(3.5, y + 0.5), QPointF(12.5, y + 0.5));
    }));
    images.emplace_back("EditUndo1", Draw([](QPainter& p) {
        TurningArrow(p, QRectF(3, 4, 11, 10), 270, 200, QPolygonF{{1, 5}, {6.5, 1}, {6.5, 9}}, kBlue);
    }));
    // The window actions.
    images.emplace_back("WindowClose1", Draw([](QPainter& p) {
        Window(p, 0, 1, 15, 13);
        Cross(p, {7.5, 9}, 2.5);
    }));
    images.emplace_back("WindowCascade1", Draw([](QPainter& p) {
        Window(p, 0, 0, 9, 7);
        Window(p, 3, 4, 9, 7);
        Window(p, 6, 8, 9, 7);
    }));
    images.emplace_back("WindowTileHorizontal1", Draw([](QPainter& p) {
        Window(p, 0, 0, 15, 7);
        Window(p, 0, 8, 15, 7);
    }));
    images.emplace_back("WindowTileVertical1", Draw([](QPainter& p) {
        Window(p, 0, 0, 7, 15);
        Window(p, 8, 0, 7, 15);
    }));
    images.emplace_back("WindowMinimizeAll1", Draw([](QPainter& p) {
        Window(p, 2, 0, 12, 9);
        p.fillRect(QRectF(1, 12, 6, 3), kBlue);
        p.fillRect(QRectF(9, 12, 6, 3), kBlue);
    }));
    images.emplace_back("WindowArrange1", Draw([](QPainter& p) {
        p.setBrush(kPaper);
        p.drawRect(Box(0, 0, 15, 15));
        for (int x = 1; x <= 11; x += 5)
            p.fillRect(QRectF(x, 12, 4, 3), kBlue);
    }));
    return images;
}
