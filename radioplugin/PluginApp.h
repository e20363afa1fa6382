#pragma once
// The plug-in's application: the host window its windows and message boxes
// belong to, its exception display, and the loading of its forms' texts.
#include "pluginapi/PluginInterface.h"

#include <exception>
#include <string>

class QWidget;
class TlcCustomLang;
class TlcLangLinked;
class QObject;

// Makes the host's window the plug-in's application window; 0 takes the
// window that is active now.
void SetPluginAppWindow(TAppHandle AppHandle);
// The application window, or none (it may have gone).
QWidget* PluginAppWindow();

// The plug-in's exception display: a message box with the error's text,
// owned by the application window.
void ShowPluginException(const std::exception& e);

// A message box owned by the application window. At most one is open at a
// time: a message asked for while another box is open is shown after it
// (one waits; later ones go to stderr), a question then is answered IDNO or
// IDCANCEL at once.
int PluginMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);

// A window's translation component made from its form's data and settings,
// compiled into the plug-in as ":/ravvel/lc/<Form>.dat" and ".lcs": two
// languages, German active. The plug-in has no dispatcher, so its windows
// stay German.
TlcLangLinked* CreatePluginTranslations(QObject* Window, const std::string& Form);
