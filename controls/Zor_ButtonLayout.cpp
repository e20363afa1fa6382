#include "controls/Zor_ButtonLayout.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

TZor_ButtonLook ZorButtonLook(const TZor_Colors& Button, const TZor_ButtonState& State)
{
    TZor_ButtonLook Look;
    if (State.Hover && State.Enabled && State.Pressed)
        Look = {Button.Disabled(), Button.ActiveFont()};
    else if (State.Hover && State.Enabled)
        Look = {Button.Active(), Button.ActiveFont()};
    else if (State.Enabled && State.Focused)
        Look = {Button.Information(), Button.InformationFont()};
    else if (State.Enabled)
        Look = {Button.Enabled(), Button.EnabledFont()};
    else
        Look = {Button.Disabled(), Button.DisabledFont()};
    // Black would be the transparent colour of the mask; draw it as near-black.
    if (Look.Frame == 0)
        Look.Frame = 0x00000001;
    return Look;
}

TZor_GlyphChoice ZorGlyphChoice(int GlyphCount, bool Enabled, bool Pressed)
{
    if (GlyphCount <= 1)
        return {1, !Enabled};
    if (!Enabled)
        return {2, false};
    if (Pressed && GlyphCount >= 3)
        return {3, false};
    return {1, false};
}

QImage ZorGlyphImage(const QImage& Glyph, int GlyphCount, int Image)
{
    if (Glyph.isNull() || GlyphCount < 1)
        return {};
    const int Segment = Glyph.width() / GlyphCount;
    if (Segment <= 0 || Image < 1 || Image > GlyphCount)
        return {};
    return Glyph.copy((Image - 1) * Segment, 0, Segment, Glyph.height());
}

QImage ZorGreyedImage(const QImage& Image)
{
    if (Image.isNull())
        return {};
    QImage Out = Image.convertToFormat(QImage::Format_RGB32);
    const QRgb Background = Out.pixel(0, Out.height() - 1);
    const QRgb Fill = qRgb(0, 0, 0xFF);   // 0x00FF0000
    const QRgb Grey = qRgb(0x80, 0x80, 0x80);
    for (int y = 0; y < Out.height(); ++y) {
        auto* Line = reinterpret_cast<QRgb*>(Out.scanLine(y));
        for (int x = 0; x < Out.width(); ++x) {
            const QRgb P = Line[x] | 0xFF000000u;
            Line[x] = (P == 0xFFFFFFFFu || P == (Background | 0xFF000000u)) ? Fill : Grey;
        }
    }
    return Out;
}

QColor ZorGradientColor(const QColor& From, const QColor& To, int Y, int H)
{
    auto Channel = [&](int F, int T) {
        const double Step = static_cast<double>(T - F) * Y / (H - 2);
        return static_cast<int>(F + std::nearbyint(Step)) & 0xFF;
    };
    return QColor(Channel(From.red(), To.red()), Channel(From.green(), To.green()),
                  Channel(From.blue(), To.blue()));
}

QString ZorMeasuredCaption(const QString& Caption)
{
    QString Out = Caption;
    const auto At = Out.indexOf('&');
    if (At >= 0)
        Out.remove(At, 1);
    return Out;
}

QChar ZorAccelerator(const QString& Caption)
{
    for (qsizetype i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&')
            continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return Caption[i + 1];
    }
    return {};
}

TZor_ButtonLayout ZorButtonLayout(int CW, int CH, int TW, int TH, int ImageW, int ImageH, bool CaptionEmpty)
{
    TZor_ButtonLayout L;
    L.G = std::max(0, std::min(ImageW, CH - 4));
    const int G = L.G;
    L.Text.Left = G > 0 ? (CW - 8 - G - TW) / 2 + 6 + G : (CW - 4 - TW) / 2 + 2;
    // A caption wider than the button starts at the frame and wraps, rather
    // than starting outside the button and losing its beginning.
    L.Text.Left = std::max(L.Text.Left, G > 0 ? 6 + G : 2);
    L.Text.Top = std::max((CH - TH) / 2, 2);
    L.Text.Right = CW - 2;
    L.Text.Bottom = CH - 2;
    if (!CaptionEmpty) {
        L.Glyph.Left = L.Text.Left - 4 - G;
        L.Glyph.Right = L.Text.Left - 4;
        L.Glyph.Top = std::max((CH - ImageH) / 2, 2);
        L.Glyph.Bottom = std::min(L.Glyph.Top + ImageH, CH - 2);
    } else {
        L.Glyph.Top = std::max((CH - ImageH) / 2, 3);
        L.Glyph.Bottom = std::min(L.Glyph.Top + ImageH, CH - 3);
        const int Span = L.Glyph.Bottom - L.Glyph.Top;
        L.Glyph.Left = std::max(ImageW < Span ? (CW - ImageW) / 2 : (CW - Span) / 2, 3);
        L.Glyph.Right = std::min(L.Glyph.Left + G, CW - 3);
    }
    return L;
}

namespace {

QRect ToQRect(const TZor_Rect& R)
{
    return QRect(QPoint(R.Left, R.Top), QPoint(R.Right - 1, R.Bottom - 1));
}

// The image with every pixel of `Key` made transparent.
QImage KeyedOut(const QImage& Image, QRgb Key)
{
    QImage Out = Image.convertToFormat(QImage::Format_ARGB32);
    Key |= 0xFF000000u;
    for (int y = 0; y < Out.height(); ++y) {
        auto* Line = reinterpret_cast<QRgb*>(Out.scanLine(y));
        for (int x = 0; x < Out.width(); ++x)
            if ((Line[x] | 0xFF000000u) == Key)
                Line[x] = 0;
    }
    return Out;
}

} // namespace

QImage ZorPaintButton(const TZor_ButtonPaint& P)
{
    const int W = P.Width;
    const int H = P.Height;
    if (W <= 0 || H <= 0)
        return {};
    const TZor_Pattern& Scheme = G_Zor_Pattern();
    const TZor_Colors& Button = *Scheme.Button();
    const QColor Transparent = ColorToQColor(Scheme.TransparentColor());

    QImage Image(W, H, QImage::Format_RGB32);
    Image.fill(Transparent);
    QPainter Painter(&Image);
    Painter.setRenderHint(QPainter::Antialiasing, false);
    Painter.setFont(P.Font);

    const TZor_ButtonLook Look = ZorButtonLook(Button, P.State);
    Painter.setPen(QPen(ColorToQColor(Look.Frame), 1));
    Painter.setBrush(Transparent);
    Painter.drawRoundedRect(QRect(0, 0, W - 1, H - 1), 2.5, 2.5);

    // Gradient: a top and a bottom line, then the rows in between.
    const QColor Start = ColorToQColor(Button.GradientStart());
    const QColor End = ColorToQColor(Button.GradientEnd());
    Painter.setPen(Start);
    Painter.drawLine(2, 1, W - 3, 1);
    Painter.setPen(End);
    Painter.drawLine(2, H - 2, W - 3, H - 2);
    if (H >= 5) {
        const QColor& From = P.State.Pressed ? End : Start;
        const QColor& To = P.State.Pressed ? Start : End;
        const bool Same = Button.GradientStart() == Button.GradientEnd();
        for (int y = 2; y <= H - 3; ++y) {
            Painter.setPen(Same ? End : ZorGradientColor(From, To, y, H));
            Painter.drawLine(1, y, W - 2, y);
        }
    }

    if (P.State.Default && W >= 5 && H >= 5) {
        Painter.setPen(QPen(ColorToQColor(Look.Frame), 1));
        Painter.setBrush(Qt::NoBrush);
        Painter.drawRoundedRect(QRect(1, 1, W - 3, H - 3), 2.5, 2.5);
    }

    // Caption and glyph.
    const QFontMetrics Metrics(P.Font);
    const QString Measured = ZorMeasuredCaption(P.Caption);
    const int TW = Measured.isEmpty() ? 0 : Metrics.horizontalAdvance(Measured);
    const int TH = Measured.isEmpty() ? 0 : Metrics.height();
    const TZor_GlyphChoice Choice = ZorGlyphChoice(P.GlyphCount, P.State.Enabled, P.State.Pressed);
    QImage Glyph = ZorGlyphImage(P.Glyph, P.GlyphCount, Choice.Image);
    if (Choice.Greyed)
        Glyph = ZorGreyedImage(Glyph);
    const TZor_ButtonLayout L =
        ZorButtonLayout(W, H, TW, TH, Glyph.width(), Glyph.height(), P.Caption.isEmpty());
    Painter.setBrush(Qt::NoBrush);
    if (!P.Caption.isEmpty()) {
        Painter.setPen(ColorToQColor(Look.Font));
        Painter.drawText(ToQRect(L.Text), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic,
                         P.Caption);
    }
    if (L.G > 0 && !Glyph.isNull()) {
        const QImage Keyed = KeyedOut(Glyph, Glyph.pixel(0, Glyph.height() - 1));
        const QRect Target = ToQRect(L.Glyph);
        if (Target.isValid())
            Painter.drawImage(Target, Keyed);
    }
    Painter.end();
    return KeyedOut(Image, Transparent.rgb());
}
