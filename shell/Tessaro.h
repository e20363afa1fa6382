#pragma once
// The program's main block: the data module, the main window and the value
// input dialog in that order, the message loop until the main window closes,
// then everything freed, the last created first.
#include <QStringList>

// Runs the program inside an existing application object and gives its exit
// status: 0 after a normal end and after an end asked for by SIGTERM or
// SIGINT (platform/Application.h), 1 when it could not come up or could not
// go on (no communication mutex, no usable catalogue, no device type).
int RunTessaro(const QStringList& arguments);
