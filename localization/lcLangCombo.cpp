#include "localization/lcLangCombo.h"

#include <QAbstractItemView>
#include <QIcon>
#include <QPainter>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {

class TLanguageDelegate : public QStyledItemDelegate {
public:
    explicit TLanguageDelegate(TlcLangCombo& combo) : QStyledItemDelegate(&combo), FCombo(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & (QStyle::State_Selected | QStyle::State_HasFocus);
        FCombo.DrawItem(*painter, index.row(), option.rect, selected, option.font);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        int height = FCombo.ItemHeight();
        if (FCombo.OnMeasureItem) {
            FCombo.OnMeasureItem(index.row(), height);
        } else {
            const int text = QFontMetrics(option.font).boundingRect("H").height() + 3;
            height = std::max(height, text);
        }
        return {QStyledItemDelegate::sizeHint(option, index).width() + 23, height};
    }

private:
    TlcLangCombo& FCombo;
};

} // namespace

void TLanguageInfo::SetFontName(const std::string& value)
{
    if (value == FFontName)
        return;
    FFontName = value;
    if (FOwner)
        FOwner->update();
}

void TLanguageInfo::SetFontCharset(int value)
{
    if (value == FFontCharset)
        return;
    FFontCharset = value;
    if (FOwner)
        FOwner->update();
}

void TLanguageInfo::SetFlagImage(const QPixmap& value)
{
    FFlagImage = value.copy();
    if (FOwner)
        FOwner->update();
}

TLanguageInfoItem::TLanguageInfoItem(TlcLangCombo& combo, int index) : FCombo(combo), FIndex(index) {}

TLanguageInfo* TLanguageInfoItem::Info() const
{
    std::vector<TLanguageInfo>& infos = FCombo.LanguageInfos();
    return FIndex < static_cast<int>(infos.size()) ? &infos[static_cast<size_t>(FIndex)] : nullptr;
}

std::string TLanguageInfoItem::FontName() const
{
    const TLanguageInfo* info = Info();
    return info ? info->FontName() : std::string();
}

void TLanguageInfoItem::SetFontName(const std::string& value)
{
    if (TLanguageInfo* info = Info())
        info->SetFontName(value);
}

int TLanguageInfoItem::FontCharset() const
{
    const TLanguageInfo* info = Info();
    return info ? info->FontCharset() : DEFAULT_CHARSET;
}

void TLanguageInfoItem::SetFontCharset(int value)
{
    if (TLanguageInfo* info = Info())
        info->SetFontCharset(value);
}

std::string TLanguageInfoItem::LanguageName() const
{
    const TLanguageInfo* info = Info();
    return info ? info->LanguageName() : std::string();
}

void TLanguageInfoItem::SetLanguageName(const std::string& value)
{
    // Only stored: the items are drawn with the name of the moment, and the
    // selection stays.
    if (TLanguageInfo* info = Info())
        info->SetLanguageName(value);
}

TLanguageInfos::TLanguageInfos(TlcLangCombo& combo) : FCombo(combo) {}

int TLanguageInfos::Count() const
{
    return static_cast<int>(FCombo.LanguageInfos().size());
}

QObject* TLanguageInfos::Item(int index)
{
    if (index < 0 || index >= Count())
        return nullptr;
    while (static_cast<int>(FItems.size()) <= index)
        FItems.push_back(std::make_unique<TLanguageInfoItem>(FCombo, static_cast<int>(FItems.size())));
    return FItems[static_cast<size_t>(index)].get();
}

TlcLangCombo::TlcLangCombo(QWidget* parent)
    : QComboBox(parent), FInfoCollection(std::make_unique<TLanguageInfos>(*this))
{
    setItemDelegate(new TLanguageDelegate(*this));
    // A linked component that goes is unlinked (QPointer); the items stay.
}

TlcLangCombo::~TlcLangCombo() = default;

TLanguageInfo& TlcLangCombo::AddLanguageInfo()
{
    FInfos.emplace_back(this);
    return FInfos.back();
}

void TlcLangCombo::SetlcLang(TlcCustomLang* value)
{
    FLang = value;
    RebuildItems();
}

void TlcLangCombo::SetlcLangDispatcher(TlcLangDispatcher* value)
{
    FDispatcher = value;
    RebuildItems();
}

void TlcLangCombo::SetItemHeight(int value)
{
    FItemHeight = value;
}

const TlcStringList* TlcLangCombo::Names() const
{
    if (FDispatcher)
        return &FDispatcher->LangNames();
    if (FLang)
        return &FLang->LangNames();
    return nullptr;
}

std::string TlcLangCombo::ItemText(int index) const
{
    if (index < 0)
        return {};
    if (index < static_cast<int>(FInfos.size()) && !FInfos[static_cast<std::size_t>(index)].LanguageName().empty())
        return FInfos[static_cast<std::size_t>(index)].LanguageName();
    const TlcStringList* names = Names();
    return names && index < names->Count() ? (*names)[index] : std::string();
}

void TlcLangCombo::RebuildItems()
{
    const QSignalBlocker quiet(this);
    clear();
    const TlcStringList* names = Names();
    if (!names)
        return;
    const auto count = static_cast<std::size_t>(names->Count());
    while (FInfos.size() > count)
        FInfos.pop_back();
    while (FInfos.size() < count)
        AddLanguageInfo();
    for (std::size_t i = 0; i < count; ++i)
        addItem(QString::fromStdString(ItemText(static_cast<int>(i))));
    if (!FLoading)
        update();
}

void TlcLangCombo::Loaded()
{
    FLoading = false;
    RebuildItems();
    if (FDispatcher)
        setCurrentIndex(FDispatcher->ActiveLanguage() - 1);
    else if (FLang)
        setCurrentIndex(FLang->ActiveLanguage() - 1);
}

void TlcLangCombo::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected, const QFont& font) const
{
    if (OnDrawItem) {
        OnDrawItem(painter, index, rect, selected);
        return;
    }
    painter.save();
    painter.fillRect(rect, selected ? palette().highlight() : palette().base());
    QFont itemFont = font;
    if (index >= 0 && index < static_cast<int>(FInfos.size())) {
        const TLanguageInfo& info = FInfos[static_cast<std::size_t>(index)];
        itemFont.setFamily(QString::fromStdString(info.FontName()));
        if (!info.FlagImage().isNull())
            painter.drawPixmap(rect.left() + 1, rect.top() + 2, info.FlagImage());
    }
    painter.setFont(itemFont);
    painter.setPen(selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
    const QFontMetrics metrics(itemFont);
    painter.drawText(rect.left() + 23, rect.top() + 1 + metrics.ascent(), QString::fromStdString(ItemText(index)));
    painter.restore();
}

void TlcLangCombo::paintEvent(QPaintEvent*)
{
    // The closed box shows the chosen language as the open list does: its
    // flag and its name in its font, drawn in the box's edit field.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const int index = currentIndex();
    if (index < 0)
        return;
    QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int height = std::min(field.height(), std::max(FItemHeight, fontMetrics().height() + 3));
    field.setTop(field.top() + (field.height() - height) / 2);
    field.setHeight(height);
    DrawItem(painter, index, field, hasFocus(), font());
}
