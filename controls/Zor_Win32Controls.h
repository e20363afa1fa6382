#pragma once
// Image lists. TCustomImageList is the list of equally sized images that
// actions, menus and tool bars draw from; TZor_ImageList is the library's own
// class of it and adds nothing (the data module's 16 by 16 lists are of it).
//
// GUI thread only.
#include <QImage>
#include <QObject>

#include <vector>

class QPainter;

class TCustomImageList : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int Count READ Count)

public:
    explicit TCustomImageList(QObject* parent = nullptr) : QObject(parent) {}

    int Width() const { return FWidth; }
    // A new size empties the list.
    void SetWidth(int value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    int Count() const { return static_cast<int>(FImages.size()); }

    // Adds the image scaled to the list's size; returns its index.
    int Add(const QImage& image);
    // The image at `index`; a null image outside the list.
    QImage Image(int index) const;
    void Clear() { FImages.clear(); }
    // Draws image `index` at (x, y); disabled images greyed.
    void Draw(QPainter& painter, int x, int y, int index, bool enabled = true) const;

private:
    int FWidth = 16;
    int FHeight = 16;
    std::vector<QImage> FImages;
};

class TZor_ImageList : public TCustomImageList {
    Q_OBJECT
public:
    using TCustomImageList::TCustomImageList;
};
