// The sorted indexes of the translation lists: by identifier and by text.
#include "localization/lcIndex.h"

#include "localization/lcComp.h"

#include <algorithm>

namespace {

bool HasDispatcherTestMode(const TlcCustomLang* lang)
{
    return lang && lang->TestModeActive();
}

} // namespace

// ---- sorted indexes ---------------------------------------------------------

void TlcSortCollection::Sort(const TCompareItems& compare)
{
    if (FItems.empty())
        return;
    struct TUpdate {
        TlcSortCollection& C;
        explicit TUpdate(TlcSortCollection& c) : C(c) { C.BeginUpdate(); }
        ~TUpdate() { C.EndUpdate(); }
    } update(*this);
    QuickSort(0, Count() - 1, compare);
}

void TlcSortCollection::QuickSort(int left, int right, const TCompareItems& compare)
{
    // The two-index partition; the smaller part is sorted by recursion, the
    // larger one by the loop, so the stack stays shallow. The order of the
    // parts does not change the result.
    while (left < right) {
        int i = left;
        int j = right;
        const TlcSortCollectionItem* pivot = FItems[static_cast<size_t>((left + right) / 2)].get();
        do {
            while (compare(*FItems[static_cast<size_t>(i)], *pivot) < 0)
                ++i;
            while (compare(*FItems[static_cast<size_t>(j)], *pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(FItems[static_cast<size_t>(i)], FItems[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - left < right - i) {
            if (left < j)
                QuickSort(left, j, compare);
            left = i;
        } else {
            if (i < right)
                QuickSort(i, right, compare);
            right = j;
        }
    }
}

TlcStringsCollectionItem& TlcStringsCollection::Add()
{
    FItems.push_back(std::make_unique<TlcStringsCollectionItem>());
    return static_cast<TlcStringsCollectionItem&>(*FItems.back());
}

TlcStringsCollectionItem& TlcStringsCollection::GetItem(int index) const
{
    return static_cast<TlcStringsCollectionItem&>(*FItems.at(static_cast<size_t>(index)));
}

int TlcStringsCollection::IndexOfID(std::string_view id) const
{
    for (int i = 0; i < Count(); ++i)
        if (lcSameText(GetItem(i).ID, id))
            return i;
    return -1;
}

std::string TlcStringsCollection::ItemText(const TlcStringsCollectionItem& item, int language) const
{
    // An item holds the languages it was built with; any other number has no text.
    if (language < 1 || language > item.Texts.Count())
        return {};
    return item.Texts[language - 1];
}

std::string TlcStringsCollection::FindByID(std::string_view id, int language) const
{
    if (FItems.empty())
        return {};
    int lo = 0;
    int hi = Count() - 1;
    do {
        const int mid = (lo + hi) / 2;
        const TlcStringsCollectionItem& item = GetItem(mid);
        const int c = lcCompareText(item.ID, id);
        if (c == 0)
            return ItemText(item, language);
        if (c < 0) {
            if (lo == mid) {
                if (mid + 1 < Count() && lcSameText(GetItem(mid + 1).ID, id))
                    return ItemText(GetItem(mid + 1), language);
                return {};
            }
            lo = mid;
        } else {
            hi = mid;
        }
    } while (lo < hi);
    return {};
}

std::string TlcStringsCollection::SortText(const TlcStringsCollectionItem& item) const
{
    std::string text = ItemText(item, FSortLanguage);
    if (FOwner && FOwner->ProcessEscapesOn())
        text = ProcessEscapes(text);
    return text;
}

std::string TlcStringsCollection::FindByText(std::string_view text, int language) const
{
    std::string result(text);
    if (!FItems.empty() && FSortLanguage > 0) {
        const TlcStringsCollectionItem* found = nullptr;
        int lo = 0;
        int hi = Count() - 1;
        do {
            const int mid = (lo + hi) / 2;
            const int c = SortText(GetItem(mid)).compare(text);
            if (c == 0) {
                found = &GetItem(mid);
                break;
            }
            if (c < 0) {
                if (lo == mid) {
                    if (mid + 1 < Count() && SortText(GetItem(mid + 1)) == text)
                        found = &GetItem(mid + 1);
                    break;
                }
                lo = mid;
            } else {
                hi = mid;
            }
        } while (lo < hi);
        if (found) {
            result = ItemText(*found, language);
            if (result.empty() && language > 1 && HasDispatcherTestMode(FOwner))
                result = TestModeTransform(FOwner, ItemText(*found, 1));
        }
    }
    if (FOwner && FOwner->ProcessEscapesOn())
        result = ProcessEscapes(result);
    return result;
}

int TlcStringsCollection::CompareByID(const TlcStringsCollectionItem& a, const TlcStringsCollectionItem& b) const
{
    return lcCompareText(a.ID, b.ID);
}

int TlcStringsCollection::CompareByText(const TlcStringsCollectionItem& a, const TlcStringsCollectionItem& b) const
{
    if (FSortLanguage == 0)
        return 0;
    const int c = SortText(a).compare(SortText(b));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TlcStringsCollection::SortItems()
{
    if (FSortLanguage == 0)
        Sort([this](const TlcSortCollectionItem& a, const TlcSortCollectionItem& b) {
            return CompareByID(static_cast<const TlcStringsCollectionItem&>(a),
                               static_cast<const TlcStringsCollectionItem&>(b));
        });
    else
        Sort([this](const TlcSortCollectionItem& a, const TlcSortCollectionItem& b) {
            return CompareByText(static_cast<const TlcStringsCollectionItem&>(a),
                                 static_cast<const TlcStringsCollectionItem&>(b));
        });
}
