#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <vector>

// A list of same-sized images drawn with a transparent mask colour.
class TImageList {
public:
    TImageList(int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return static_cast<int>(FImages.size()); }
    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    // Adds the image; pixels of exactly the mask colour become transparent.
    int AddMasked(const QImage& image, QColor mask);
    // A null pixmap for an index out of range.
    QPixmap Pixmap(int index) const;
    void Clear() { FImages.clear(); }

private:
    int FWidth;
    int FHeight;
    QString FName;
    std::vector<QPixmap> FImages;
};
