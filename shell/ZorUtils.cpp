#include "shell/ZorUtils.h"

#include "controls/Zor_Pattern.h"
#include "localization/lcComp.h"
#include "localization/lcLngLnk.h"
#include "shell/DataModule.h"
#include "shell/MainForm.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QUuid>
#include <QVBoxLayout>

std::string NewGUIDText()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
}

void CloseAllMDIChildren()
{
    if (!fMainForm)
        return;
    for (int pass = 0; pass < 100; ++pass) {
        QMdiSubWindow* first = nullptr;
        for (QMdiSubWindow* child : fMainForm->MDIClient->subWindowList())
            if (child->isVisible()) {
                first = child;
                break;
            }
        if (!first)
            break;
        try {
            first->close();
        } catch (...) {
            // A child that fails to close is asked again in the next pass.
        }
        QCoreApplication::processEvents();
    }
}

namespace {
// Where the program's forms keep their translation data.
const char* const kTables = ":/tessaro/lc";
} // namespace

void LoadFormTranslations(TlcCustomLang& lang, TlcLangDispatcher* dispatcher, const std::string& form)
{
    LoadFormTranslation(lang, dispatcher, kTables, form);
}

TlcLangLinked* CreateFormTranslations(QObject* window, TlcLangDispatcher* dispatcher, const std::string& form,
                                      const std::function<void(TlcLangLinked&)>& prepare)
{
    return CreateFormTranslation(window, dispatcher, kTables, form, prepare);
}

std::string GetVersionInfoString(int index)
{
    // The program's version block, German (code page 1252).
    static const char* const kBlock[10] = {
        "Zorvatek GmbH", "Zor Tessaro - Konfigurationsprogramm", TESSARO_VERSION, "Tessaro",
        "\xC2\xA9 2026 Zorvatek GmbH. Alle Rechte vorbehalten.", "", "Tessaro", "Zor Tessaro", TESSARO_VERSION, ""};
    return index >= 0 && index < 10 ? kBlock[index] : std::string();
}

QVBoxLayout* MakeDialogFrame(QWidget* dialog, QWidget*& spLeft)
{
    auto* outer = new QHBoxLayout(dialog);
    outer->setContentsMargins(0, 0, 0, 0);
    spLeft = new QWidget(dialog);
    spLeft->setObjectName("spLeft");
    spLeft->setFixedWidth(41);
    spLeft->setAutoFillBackground(true);
    outer->addWidget(spLeft);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 8, 8, 8);
    outer->addLayout(body, 1);
    return body;
}

void SetWindowColour(QWidget* window, std::uint32_t colour)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, ColorToQColor(colour));
    window->setPalette(palette);
}

bool PaintDialogFrame(QWidget* dialog, QWidget* spLeft)
{
    const bool system = G_Zor_Pattern().UseWindowsDefaults();
    dialog->setAutoFillBackground(true);
    SetWindowColour(dialog, system ? clBtnFace : TColor(0x00F0FBFF));
    SetWindowColour(spLeft, system ? clHotLight : TColor(0x00F0CAA6));
    return system;
}
