#pragma once
// A drop-down list of the languages of a translation component or of the
// dispatcher, each with its flag and its name in its own font.
#include "localization/lcComp.h"

#include <QComboBox>
#include <QPixmap>
#include <QPointer>

#include <functional>
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

class TlcLangCombo : public QComboBox {
    Q_OBJECT
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

    // After the form's data were set: the items, and the active language selected.
    void Loaded();
    void RebuildItems();

    // Replace the list's own drawing and measuring when bound.
    std::function<void(QPainter& painter, int index, const QRect& rect, bool selected)> OnDrawItem;
    std::function<void(int index, int& height)> OnMeasureItem;

    // The text of item i: its LanguageName, else the i-th language name.
    std::string ItemText(int index) const;
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);

private:
    const TlcStringList* Names() const;
    QPointer<TlcCustomLang> FLang;
    QPointer<TlcLangDispatcher> FDispatcher;
    std::vector<TLanguageInfo> FInfos;
    int FItemHeight = 16;
    bool FLoading = true;
};
