#include "radioplugin/PluginApp.h"

#include "localization/lcComp.h"
#include "localization/lcLngLnk.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> gAppWindow;
}

void SetPluginAppWindow(TAppHandle AppHandle)
{
    gAppWindow = AppHandle ? reinterpret_cast<QWidget*>(AppHandle) : QApplication::activeWindow();
}

QWidget* PluginAppWindow()
{
    return gAppWindow.data();
}

void ShowPluginException(const std::exception& e)
{
    PluginMessageBox(e.what(), "Ravvel", MB_OK | MB_ICONERROR);
}

int PluginMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags)
{
    return MessageBox(PluginAppWindow(), Text, Caption, Flags);
}

TlcLangLinked* CreatePluginTranslations(QObject* Window, const std::string& Form)
{
    return CreateFormTranslation(Window, nullptr, ":/ravvel/lc", Form);
}
