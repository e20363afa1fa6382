#pragma once
// The screen cursor: one cursor shown over every window of the program while
// it is not the default (a busy cursor during a long step).
#include <QtCore/qnamespace.h>

using TCursor = int;
enum : TCursor {
    crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6, crSizeNS = -7,
    crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
    crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19,
    crHelp = -20, crHandPoint = -21, crSizeAll = -22
};

// The shape a control shows for a cursor (crDefault: the arrow).
Qt::CursorShape CursorShapeOf(TCursor cursor);

TCursor ScreenCursor();
// crDefault gives every window its own cursor back. GUI thread only.
void SetScreenCursor(TCursor cursor);
