#include "controls/Zor_Win32Controls.h"

#include <QPainter>

void TCustomImageList::SetWidth(int value)
{
    if (value == FWidth || value <= 0)
        return;
    FWidth = value;
    FImages.clear();
}

void TCustomImageList::SetHeight(int value)
{
    if (value == FHeight || value <= 0)
        return;
    FHeight = value;
    FImages.clear();
}

int TCustomImageList::Add(const QImage& image)
{
    FImages.push_back(image.size() == QSize(FWidth, FHeight)
                          ? image
                          : image.scaled(FWidth, FHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return Count() - 1;
}

QImage TCustomImageList::Image(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return FImages[static_cast<std::size_t>(index)];
}

void TCustomImageList::Draw(QPainter& painter, int x, int y, int index, bool enabled) const
{
    const QImage image = Image(index);
    if (image.isNull())
        return;
    if (enabled) {
        painter.drawImage(x, y, image);
        return;
    }
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < grey.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(row));
        for (int col = 0; col < grey.width(); ++col) {
            const int g = qGray(line[col]);
            line[col] = qRgba(g, g, g, qAlpha(line[col]) / 2);
        }
    }
    painter.drawImage(x, y, grey);
}
