#pragma once
// The program's resource strings: messages compiled into a module rather than
// kept in a translation component. Each module (the program, each plug-in
// with its own copy of the engine) has a table of texts by identifier, the
// texts written in the translator's resource language. Every load goes
// through TranslatedLoadResString, so once a translation component has become
// the process's resource-string translator (HandleResourceStrings) the texts
// follow its active language; without a translator they come as written.
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>

// The string resources of one module.
class TResourceModule {
public:
    // Adds or replaces the text of an identifier (0..65535).
    void Register(int identifier, std::string text);
    // The text, or an empty one for an identifier the module does not hold.
    std::string Load(int identifier) const;
    bool Has(int identifier) const;

private:
    mutable std::mutex FLock;
    std::map<int, std::string> FTexts;
};

// This module's resources (the program's, or the plug-in's in a plug-in).
TResourceModule& MainResourceModule();

// Which resource string to load: an identifier in a module, or (Text set)
// the text itself.
struct TResStringRec {
    const TResourceModule* Module = nullptr; // none: this module's
    int Identifier = 0;
    const char* Text = nullptr;
};

// Loads the text and, when there is a translator whose active language is
// not the resource language, gives its translation; a text the translator
// does not know comes back as it is.
std::string TranslatedLoadResString(const TResStringRec& rec);
// Load by identifier from this module.
std::string LoadStr(int identifier);
// Load by identifier and fill the placeholders (%s, %d) with the texts.
std::string FmtLoadStr(int identifier, std::initializer_list<std::string> args);

// The engine's own resource strings.
enum TlcResourceString : int {
    SlcClassNotRegistered = 64001, // "Unable to obtain %s class reference for %s! ..."
    SlcUnrecognizedStream = 64002, // "Unrecognized stream format!"
    SlcStringNotFound = 64003,     // "String identifier "%s" not found!"
};
