#pragma once
// String lists and collections as components publish them.
//
// A control's lines or items (`Items`, `Lines`) are published as a pointer to
// a TStrings, which the control keeps; a collection property (`LanguageInfos`)
// as a pointer to a TCollection whose items are QObjects with published
// properties of their own. Both count as class properties (tkClass) and are
// changed in place through these interfaces.
#include <QObject>

#include <string>
#include <string_view>
#include <vector>

class TStrings : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual int Count() const = 0;
    // Index errors raise EListError.
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& text) = 0;
    virtual void Insert(int index, const std::string& text) = 0;
    virtual void Delete(int index) = 0;
    virtual void Add(const std::string& text) { Insert(Count(), text); }
    virtual void Clear();

    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& lines);
    // The items separated by commas; an item holding a blank, a control
    // character, a comma or a quote is quoted ("a b","say ""hi""").
    std::string CommaText() const;
    // Items separated by commas or blanks, quoted items as above; the list
    // is replaced.
    void SetCommaText(std::string_view text);
    // Every line followed by CR LF.
    std::string Text() const;
    // Lines split at CR, LF or CR LF.
    void SetText(std::string_view text);
};

// The items of a comma text, and the comma text of items.
std::vector<std::string> SplitCommaText(std::string_view text);
std::string JoinCommaText(const std::vector<std::string>& items);

// A list of strings kept in memory; a sorted list keeps its lines in order
// (Add inserts at the place, Put and Insert raise EListError).
class TStringList : public TStrings {
    Q_OBJECT
public:
    using TStrings::TStrings;
    int Count() const override { return static_cast<int>(FLines.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& text) override;
    void Insert(int index, const std::string& text) override;
    void Delete(int index) override;
    void Add(const std::string& text) override;
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);

private:
    void Check(int index, int count) const;
    std::vector<std::string> FLines;
    bool FSorted = false;
};

// A published collection: a counted list of items with published properties.
class TCollection : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual int Count() const = 0;
    // The item at the index, none outside the collection.
    virtual QObject* Item(int index) = 0;
};
