#include "catalogue/TCheckTreeDelegate.h"

#include <QPainter>

#include "catalogue/TCustomCheckTreeView.h"

TCheckTreeDelegate::TCheckTreeDelegate(TCustomCheckTreeView* view) : QStyledItemDelegate(view), FView(view) {}

void TCheckTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect row = option.rect;
    int left = row.left();
    if (FView->ShowCheckImage()) {
        const int state = index.data(StateRole).toInt();
        // A hidden box keeps its room but draws nothing; an unassigned state and 4.. have no
        // image of their own.
        if (state >= csUnchecked && state < FView->CheckImages->Count()) {
            const QPixmap pm = FView->CheckImages->Pixmap(state);
            painter->drawPixmap(left, row.top() + (row.height() - pm.height()) / 2, pm);
        }
        left += FView->CheckWidth;
    }
    if (FView->Images()) {
        const QPixmap pm = FView->Images()->Pixmap(index.data(ImageRole).toInt());
        if (!pm.isNull())
            painter->drawPixmap(left, row.top() + (row.height() - pm.height()) / 2, pm);
        left += FView->ImagesWidth;
    }
    QStyleOptionViewItem label = option;
    label.rect.setLeft(left);
    QStyledItemDelegate::paint(painter, label, index);
}

QSize TCheckTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += FView->LabelOffset();
    const int imageHeight = std::max(FView->CheckImages->Height(), FView->Images() ? FView->Images()->Height() : 0);
    size.setHeight(std::max(size.height(), imageHeight + 2));
    return size;
}
