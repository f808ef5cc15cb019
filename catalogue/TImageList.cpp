#include "catalogue/TImageList.h"

TImageList::TImageList(int width, int height) : FWidth(width), FHeight(height) {}

int TImageList::AddMasked(const QImage& image, QColor mask)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask.rgb() & 0xFFFFFF;
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
        }
    }
    FImages.push_back(QPixmap::fromImage(argb));
    return Count() - 1;
}

QPixmap TImageList::Pixmap(int index) const
{
    if (index < 0 || index >= Count())
        return QPixmap();
    return FImages[index];
}
