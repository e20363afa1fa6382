#pragma once
// A drop-down list of the languages of a translation component or of the
// dispatcher, each with its flag and its name in its own font.
#include "localization/lcComp.h"
#include "platform/Classes.h"

#include <QComboBox>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TlcLangCombo;

// How one language is shown, by position in the list.
class TLanguageInfo {
public:
    explicit TLanguageInfo(TlcLangCombo* owner) : FOwner(owner) {}
    const std::string& FontName() const { return FFontName; }
    void SetFontName(const std::string& value);
    int FontCharset() const { return FFontCharset; }
    void SetFontCharset(int value);
    const QPixmap& FlagImage() const { return FFlagImage; }
    void SetFlagImage(const QPixmap& value); // a copy
    // Empty: the name from the language list.
    const std::string& LanguageName() const { return FLanguageName; }
    void SetLanguageName(const std::string& value) { FLanguageName = value; }

private:
    TlcLangCombo* FOwner;
    std::string FFontName = "Tahoma";
    int FFontCharset = DEFAULT_CHARSET;
    QPixmap FFlagImage;
    std::string FLanguageName;
};

// One language's display data as a published collection item (what the
// form's Collections lines address: "lcLangCombo.LanguageInfos[0].FontName").
class TLanguageInfoItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string FontName READ FontName WRITE SetFontName)
    Q_PROPERTY(int FontCharset READ FontCharset WRITE SetFontCharset)
    Q_PROPERTY(std::string LanguageName READ LanguageName WRITE SetLanguageName)
public:
    TLanguageInfoItem(TlcLangCombo& combo, int index);
    std::string FontName() const;
    void SetFontName(const std::string& value);
    int FontCharset() const;
    void SetFontCharset(int value);
    std::string LanguageName() const;
    void SetLanguageName(const std::string& value);

private:
    TLanguageInfo* Info() const;
    TlcLangCombo& FCombo;
    int FIndex;
};

class TLanguageInfos : public TCollection {
    Q_OBJECT
public:
    explicit TLanguageInfos(TlcLangCombo& combo);
    int Count() const override;
    QObject* Item(int index) override;

private:
    TlcLangCombo& FCombo;
    std::vector<std::unique_ptr<TLanguageInfoItem>> FItems;
};

class TlcLangCombo : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(TCollection* LanguageInfos READ LanguageInfoCollection CONSTANT)
public:
    explicit TlcLangCombo(QWidget* parent = nullptr);
    ~TlcLangCombo() override;

    TlcCustomLang* lcLang() const { return FLang; }
    void SetlcLang(TlcCustomLang* value);
    TlcLangDispatcher* lcLangDispatcher() const { return FDispatcher; }
    void SetlcLangDispatcher(TlcLangDispatcher* value);

    // The display data, one per language; the list is rebuilt by RebuildItems.
    std::vector<TLanguageInfo>& LanguageInfos() { return FInfos; }
    TLanguageInfo& AddLanguageInfo();
    // The same data as a published collection (kept outside the form's tree).
    TCollection* LanguageInfoCollection() const { return FInfoCollection.get(); }

    // After the form's data were set: the items, and the active language selected.
    void Loaded();
    void RebuildItems();

    // Replace the list's own drawing and measuring when bound.
    std::function<void(QPainter& painter, int index, const QRect& rect, bool selected)> OnDrawItem;
    std::function<void(int index, int& height)> OnMeasureItem;

    // The text of item i: its LanguageName, else the i-th language name.
    std::string ItemText(int index) const;
    // Draws item i (flag, then the name in the item's font) as the open list
    // and the closed box show it; OnDrawItem instead when bound.
    void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected, const QFont& font) const;
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TlcStringList* Names() const;
    QPointer<TlcCustomLang> FLang;
    QPointer<TlcLangDispatcher> FDispatcher;
    std::vector<TLanguageInfo> FInfos;
    std::unique_ptr<TLanguageInfos> FInfoCollection;
    int FItemHeight = 16;
    bool FLoading = true;
};
