#pragma once
// The program's small dialogs in their plain form: the value input, the
// language choice and the about box.
#include <string>

class QWidget;

// Asks for a value of at most `maxLength` characters (0: no limit); true and
// the value when the user confirmed with OK.
bool AskValue(QWidget* owner, const std::string& caption, const std::string& message, const std::string& label,
              int maxLength, std::string& value);
// The language choice; it stays open beside the main window and switches
// the program's language on OK.
void ShowLanguageDialog(QWidget* owner);
void ShowAboutBox();
