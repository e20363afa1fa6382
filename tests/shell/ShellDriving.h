#pragma once
// The program's windows worked as a person works them: the windows that are
// up, and a menu entry chosen with the mouse.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QWidget>

// A window of this class (or a class derived from it) that is up, if any.
inline QWidget* ShownWindow(const char* className)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

// Opens the menu of the menu bar that holds `entry` and clicks the entry.
// An entry that opens a modal dialog returns only when it closes. False when
// no menu holds the entry or the menu did not open.
inline bool ChooseFromMenu(QMainWindow& window, QAction* entry)
{
    QMenuBar* bar = window.menuBar();
    for (QAction* title : bar->actions()) {
        QMenu* menu = title->menu();
        if (!menu || !title->isVisible() || !menu->actions().contains(entry))
            continue;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
        if (!menu->isVisible())
            return false;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        return true;
    }
    return false;
}
