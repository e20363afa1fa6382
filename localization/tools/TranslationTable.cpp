#include "localization/tools/TranslationTable.h"

#include "localization/lcLngLnk.h"

#include <memory>

namespace {
class TTableError {
public:
    TTableError(const std::string& fileName, int line) : FFile(fileName), FLine(line) {}
    [[noreturn]] void Raise(const std::string& what) const
    {
        throw Exception(FFile + ":" + std::to_string(FLine) + ": " + what);
    }

private:
    const std::string& FFile;
    int FLine;
};

std::string Unescape(std::string_view field, const TTableError& error)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const auto c = static_cast<unsigned char>(field[i]);
        if (c == 0x01 || c == 0x19 || c == 0x1A || c == '\r')
            error.Raise("control character " + std::to_string(c) + " is not allowed");
        if (c != '\\') {
            out += field[i];
            continue;
        }
        if (i + 1 >= field.size())
            error.Raise("a backslash ends the field (write \\\\ for a backslash)");
        switch (field[++i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: error.Raise(std::string("unknown escape \\") + field[i]);
        }
    }
    return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t from = 0;
    for (;;) {
        const size_t tab = line.find('\t', from);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(from));
            return fields;
        }
        fields.push_back(line.substr(from, tab - from));
        from = tab + 1;
    }
}

std::vector<std::string> Words(std::string_view text)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

// A component of the class; for settings in the loading state that a form's
// data set them in.
std::unique_ptr<TlcCustomLang> MakeComponent(const std::string& className, bool loading = false)
{
    std::unique_ptr<TlcCustomLang> component;
    if (className == "TlcLang")
        component = std::make_unique<TlcLang>(nullptr);
    else
        component = std::make_unique<TlcLangLinked>(nullptr);
    if (loading)
        component->BeginLoading();
    return component;
}

// The settings that the languages give, and the lists: no table line sets them.
bool IsGivenOtherwise(std::string_view name)
{
    for (const char* given : {"NumOfLanguages", "LangNames", "Language", "LangDelim", "ActiveLanguage",
                              "LangDispatcher", "CommonContainer", "ExtendedTranslations"})
        if (name == given)
            return true;
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const char* list = StringsTypePropertyName(static_cast<TStringsType>(t));
        if (list && name == list)
            return true;
    }
    return false;
}

int ListOfSection(const TlcCustomLang& component, std::string_view name)
{
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const char* property = StringsTypePropertyName(static_cast<TStringsType>(t));
        if (property && name == property && component.GetListByType(static_cast<TStringsType>(t)))
            return t;
    }
    return -1;
}
std::string SettingsLine(const std::pair<std::string, std::vector<std::string>>& setting)
{
    std::string line = setting.first;
    for (const std::string& value : setting.second)
        line += '\t' + value;
    return line + '\n';
}
} // namespace

TTranslationTable ParseTranslationTable(std::string_view text, const std::string& fileName)
{
    TTranslationTable table;
    std::unique_ptr<TlcCustomLang> publisher;
    int list = -1;
    bool sawEntry = false;
    int number = 0;
    size_t from = 0;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const TTableError error(fileName, number);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                error.Raise("a list heading is [Name]");
            if (!publisher)
                publisher = MakeComponent(table.ClassName, true);
            if (table.Languages.empty())
                error.Raise("the languages come before the first list");
            list = ListOfSection(*publisher, line.substr(1, line.size() - 2));
            if (list < 0)
                error.Raise(table.ClassName + " keeps no list " + std::string(line));
            if (!table.Lists[static_cast<size_t>(list)].Empty())
                error.Raise("list " + std::string(line) + " is given twice");
            continue;
        }
        if (list < 0) {
            const std::vector<std::string> words = Words(line);
            if (sawEntry || words.empty())
                error.Raise("an entry outside a list");
            if (words[0] == "class") {
                if (words.size() != 2 || (words[1] != "TlcLang" && words[1] != "TlcLangLinked"))
                    error.Raise("class is TlcLang or TlcLangLinked");
                if (publisher)
                    error.Raise("the class comes before the settings and the first list");
                table.ClassName = words[1];
            } else if (words[0] == "form") {
                if (words.size() != 2)
                    error.Raise("form names one class");
                table.FormClass = words[1];
            } else if (words[0] == "languages") {
                if (words.size() < 2)
                    error.Raise("languages names at least one language");
                table.Languages.assign(words.begin() + 1, words.end());
            } else {
                if (!publisher)
                    publisher = MakeComponent(table.ClassName, true);
                // What the component does not publish is refused by applying it.
                if (IsGivenOtherwise(words[0]))
                    error.Raise("unknown setting " + words[0]);
                table.Settings.emplace_back(words[0], std::vector<std::string>(words.begin() + 1, words.end()));
                try {
                    ApplyTranslationSettings(*publisher, SettingsLine(table.Settings.back()));
                } catch (const Exception& e) {
                    error.Raise(e.Message());
                }
            }
            continue;
        }
        sawEntry = true;
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() > table.Languages.size() + 1)
            error.Raise("more texts than languages");
        const std::string key = Unescape(fields[0], error);
        if (key.empty())
            error.Raise("an entry without a key");
        if (key.find_first_of("\r\n") != std::string::npos)
            error.Raise("a key holds a line break");
        TlcStringList& lines = table.Lists[static_cast<size_t>(list)];
        for (const std::string& existing : lines.Lines())
            if (lcSameText(existing.substr(0, existing.find('\x01')), key))
                error.Raise("key " + key + " is given twice");
        std::string entry = key + '\x01';
        for (size_t language = 1; language <= table.Languages.size(); ++language) {
            if (language < fields.size())
                entry += Unescape(fields[language], error);
            entry += '\x01';
        }
        if (!table.FormClass.empty() && key == table.FormClass)
            lines.Insert(0, std::move(entry));
        else
            lines.Add(std::move(entry));
    }
    if (table.Languages.empty())
        throw Exception(fileName + ": the table names no languages");
    return table;
}

std::string CompileTranslationTable(const TTranslationTable& table)
{
    std::unique_ptr<TlcCustomLang> writer = MakeComponent(table.ClassName);
    writer->SetNumOfLanguages(static_cast<int>(table.Languages.size()));
    for (int t = 0; t < lcStringsTypeCount; ++t)
        if (TlcStringList* list = writer->GetListByType(static_cast<TStringsType>(t)))
            *list = table.Lists[static_cast<size_t>(t)];
    const std::string data = writer->WriteTranslationData();

    std::unique_ptr<TlcCustomLang> reader = MakeComponent(table.ClassName);
    reader->SetNumOfLanguages(static_cast<int>(table.Languages.size()));
    reader->ReadTranslationData(data);
    for (int t = 0; t < lcStringsTypeCount; ++t) {
        const TlcStringList* list = reader->GetListByType(static_cast<TStringsType>(t));
        if (list && !(*list == table.Lists[static_cast<size_t>(t)]))
            throw Exception(std::string("the data do not read back as written in list ")
                            + StringsTypeName(static_cast<TStringsType>(t)));
    }
    return data;
}

std::string CompileTranslationSettings(const TTranslationTable& table)
{
    std::string text = SettingsLine({"NumOfLanguages", {std::to_string(table.Languages.size())}});
    text += SettingsLine({"LangDelim", {"1"}});
    text += SettingsLine({"LangNames", table.Languages});
    text += SettingsLine({"Language", {table.Languages.front()}});
    for (const auto& setting : table.Settings)
        text += SettingsLine(setting);
    std::unique_ptr<TlcCustomLang> check = MakeComponent(table.ClassName, true);
    ApplyTranslationSettings(*check, text);
    return text;
}
