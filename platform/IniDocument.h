#pragma once
// The text of a settings file in INI form, as Qt's settings store writes it
// and as a person may edit it: sections in brackets ("[General]" holds the
// top-level values), "key=value" lines, a backslash in a key for a subgroup
// ("Directories\Firmware" is "Directories/Firmware"), %XX and %UXXXX for
// other characters of a key, and values with C-style escapes, in double
// quotes where they hold ";", "," or "=" or begin or end with a blank. A ";"
// starts a comment. Keys are case-sensitive; a value is one text (a comma
// stays a comma).
//
// Reading never fails: a line that says nothing readable is passed over, and
// bytes that are no UTF-8 read as U+FFFD. Writing renders what reading gives
// back unchanged, sections in the order the file had them (new ones after,
// by name), keys sorted within a section.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TIniDocument {
public:
    static TIniDocument Parse(std::string_view bytes);
    std::string Text() const;

    // Keys are paths "Group/Subgroup/Name" ("\" works as "/"; empty parts
    // are dropped, so "/a//b/" is "a/b").
    std::optional<std::string> Value(const std::string& key) const;
    void SetValue(const std::string& key, const std::string& value);
    // The value of that key only.
    void RemoveValue(const std::string& key);
    // The value of that key and every value below it; "" removes everything.
    void RemoveGroup(const std::string& group);
    // The names of the values directly in a group ("" the top level), sorted.
    std::vector<std::string> ChildKeys(const std::string& group) const;
    // Whether any value lies in the group or below it.
    bool HasValuesBelow(const std::string& group) const;

    const std::map<std::string, std::string>& Values() const { return FValues; }
    bool operator==(const TIniDocument& other) const { return FValues == other.FValues; }

    static std::string NormalizedKey(const std::string& key);

private:
    std::map<std::string, std::string> FValues;
    std::vector<std::string> FSections; // in the order of the file
};
