#pragma once
// The sorted indexes of the Strings list that the lookups search.
#include "localization/lcUtils.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TlcCustomLang;

class TlcSortCollectionItem {
public:
    virtual ~TlcSortCollectionItem() = default;
};

class TlcSortCollection {
public:
    using TCompareItems = std::function<int(const TlcSortCollectionItem& a, const TlcSortCollectionItem& b)>;
    virtual ~TlcSortCollection() = default;
    int Count() const { return static_cast<int>(FItems.size()); }
    void Clear() { FItems.clear(); }
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() { --FUpdateCount; }
    // Sorts the items with the two-index partition sort; nothing for an empty
    // collection.
    void Sort(const TCompareItems& compare);

protected:
    virtual void QuickSort(int left, int right, const TCompareItems& compare);
    std::vector<std::unique_ptr<TlcSortCollectionItem>> FItems;

private:
    int FUpdateCount = 0;
};

class TlcStringsCollectionItem : public TlcSortCollectionItem {
public:
    TlcStringList Texts; // language 1..N at 0..N-1
    std::string ID;
};

// A sorted index of the Strings list: by identifier (SortLanguage 0) or by
// the texts of one language.
class TlcStringsCollection : public TlcSortCollection {
public:
    explicit TlcStringsCollection(TlcCustomLang* owner) : FOwner(owner) {}
    TlcCustomLang* Owner() const { return FOwner; }
    int SortLanguage() const { return FSortLanguage; }
    void SetSortLanguage(int value) { FSortLanguage = value; }

    TlcStringsCollectionItem& Add();
    TlcStringsCollectionItem& GetItem(int index) const;
    // Linear search without regard to case; -1 when absent.
    int IndexOfID(std::string_view id) const;
    // Binary search of an index sorted by identifier; empty when absent.
    std::string FindByID(std::string_view id, int language) const;
    // Binary search of an index sorted by a language's texts; the text itself
    // when absent.
    std::string FindByText(std::string_view text, int language) const;
    void SortItems();
    int CompareByID(const TlcStringsCollectionItem& a, const TlcStringsCollectionItem& b) const;
    int CompareByText(const TlcStringsCollectionItem& a, const TlcStringsCollectionItem& b) const;

private:
    std::string SortText(const TlcStringsCollectionItem& item) const;
    std::string ItemText(const TlcStringsCollectionItem& item, int language) const;
    TlcCustomLang* FOwner;
    int FSortLanguage = 0;
};
