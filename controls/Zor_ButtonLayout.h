#pragma once
// How TZor_BitBtn paints itself, without a window: which colours each state
// takes from the Button set of the scheme, which image of the glyph strip it
// shows, where caption and glyph go, the gradient, and the whole picture as
// an image whose transparent pixels let the parent show through the corners.
#include "controls/Zor_Pattern.h"

#include <QFont>
#include <QImage>
#include <QString>

// A rectangle as the painting code counts it: right and bottom lie just
// outside.
struct TZor_Rect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TZor_Rect&) const = default;
};

struct TZor_ButtonState {
    bool Hover = false;
    bool Pressed = false;
    bool Enabled = true;
    bool Focused = false;
    // The one button of the form that Enter clicks: its frame is drawn twice,
    // the second time one pixel inside.
    bool Default = false;
};

// Frame and font colour of a state (a black frame comes out as 0x00000001).
struct TZor_ButtonLook {
    TColor Frame = 0;
    TColor Font = 0;
};
TZor_ButtonLook ZorButtonLook(const TZor_Colors& Button, const TZor_ButtonState& State);

// The image of the strip that a state shows (from 1), and whether it is the
// single image greyed.
struct TZor_GlyphChoice {
    int Image = 1;
    bool Greyed = false;
    bool operator==(const TZor_GlyphChoice&) const = default;
};
TZor_GlyphChoice ZorGlyphChoice(int GlyphCount, bool Enabled, bool Pressed);

// Image k (from 1) of a strip of `GlyphCount` images side by side; an empty
// glyph gives an empty image.
QImage ZorGlyphImage(const QImage& Glyph, int GlyphCount, int Image);
// The single image greyed: its background (white and the colour of its
// bottom-left pixel) becomes 0x00FF0000, everything else grey 0x00808080, so
// the greyed image keeps a transparent background.
QImage ZorGreyedImage(const QImage& Image);

// The colour of gradient row y of a button of height H, from `From` to `To`:
// each channel from + round((to - from) * y / (H - 2)), halves to even, low 8
// bits.
QColor ZorGradientColor(const QColor& From, const QColor& To, int Y, int H);

// Caption without its first '&', as it is measured.
QString ZorMeasuredCaption(const QString& Caption);
// The caption's accelerator (the character after the first single '&'), or
// a null character.
QChar ZorAccelerator(const QString& Caption);

// Where caption and glyph go in a client area CW x CH, for a caption of TW x TH
// (empty or not) and an image of ImageW x ImageH. The caption is centred
// beside the glyph, but never starts left of the frame (2, or 6 + G with a
// glyph).
struct TZor_ButtonLayout {
    int G = 0;          // drawn glyph width; 0: no glyph
    TZor_Rect Text;
    TZor_Rect Glyph;
};
TZor_ButtonLayout ZorButtonLayout(int CW, int CH, int TW, int TH, int ImageW, int ImageH, bool CaptionEmpty);

// Everything the picture depends on.
struct TZor_ButtonPaint {
    int Width = 0;
    int Height = 0;
    QFont Font;
    QString Caption;
    QImage Glyph;
    int GlyphCount = 1;
    TZor_ButtonState State;
};
// The whole button, drawn with the colours of G_Zor_Pattern() as they are now;
// pixels outside the rounded frame are transparent.
QImage ZorPaintButton(const TZor_ButtonPaint& Paint);
