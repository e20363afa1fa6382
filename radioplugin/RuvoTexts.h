#pragma once
// Texts for the user, by identifier ("IDS_20"), as the dialog's translation
// component holds them. The core takes them through a look-up so that the
// dialog can bind its own component; without one, the German texts the core
// needs are built in (the plug-in's windows stay German).
#include <functional>
#include <initializer_list>
#include <string>

using TTextLookup = std::function<std::string(const std::string& id)>;

// The built-in German texts of the identifiers the core uses; an empty text
// for any other identifier.
std::string RuvoDefaultText(const std::string& id);

// The look-up's text, or the built-in one when the look-up has none.
std::string RuvoText(const TTextLookup& lookup, const std::string& id);

// Fills a text with arguments: each "%d" or "%s" takes the next argument in
// order, "%%" is a percent sign; anything else stands as it is. Translated
// texts are data, so they never reach printf.
std::string FillText(const std::string& pattern, std::initializer_list<std::string> args);
