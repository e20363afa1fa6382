#pragma once
// Small helpers of the program.
#include <cstdint>
#include <functional>
#include <string>

class TlcCustomLang;
class TlcLangDispatcher;
class TlcLangLinked;
class QObject;
class QVBoxLayout;
class QWidget;

// A new GUID in the standard form with braces: 38 characters, upper-case
// hexadecimal digits.
std::string NewGUIDText();

// A text of the program's version block: 0 CompanyName, 1 FileDescription,
// 2 FileVersion, 3 InternalName, 4 LegalCopyright, 5 LegalTradeMarks,
// 6 OriginalFileName, 7 ProductName, 8 ProductVersion, 9 Comments; empty for
// any other index.
std::string GetVersionInfoString(int index);

// Asks the main window's MDI child windows to close, one after the other
// (at most 100 passes), letting each go before the next is asked.
void CloseAllMDIChildren();

// Sets a form's translation component up as the form's data would, inside
// the caller's loading bracket: the settings and the texts of the form's
// table compiled into the program (":/tessaro/lc/<form>.lcs" and ".dat"),
// linked to the dispatcher.
void LoadFormTranslations(TlcCustomLang& lang, TlcLangDispatcher* dispatcher, const std::string& form);
// A window's translation component made from the program's data of `form`
// (CreateFormTranslation), linked to the dispatcher.
TlcLangLinked* CreateFormTranslations(QObject* window, TlcLangDispatcher* dispatcher, const std::string& form,
                                      const std::function<void(TlcLangLinked&)>& prepare = {});

// The frame of the program's small dialogs (port choice, value input): a
// strip of 41 pixels down the left side, made as `spLeft`, and the body
// beside it with margins of 8, whose layout is returned.
QVBoxLayout* MakeDialogFrame(QWidget* dialog, QWidget*& spLeft);
// The window's background colour (the palette's Window role).
void SetWindowColour(QWidget* window, std::uint32_t colour);
// The dialog's face and its left strip in the system's colours or in the
// maker's (TZor_Pattern::UseWindowsDefaults); whether they are the system's.
bool PaintDialogFrame(QWidget* dialog, QWidget* spLeft);
