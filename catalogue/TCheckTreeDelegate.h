#pragma once

#include <QStyledItemDelegate>

class TCustomCheckTreeView;

// Draws a row of the check tree: the check image, the node's image, then the label.
class TCheckTreeDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit TCheckTreeDelegate(TCustomCheckTreeView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Data roles of the view's items.
    static constexpr int NodeRole = Qt::UserRole;
    static constexpr int StateRole = Qt::UserRole + 1;
    static constexpr int ImageRole = Qt::UserRole + 2;
    // Whether the row is to be expanded when it goes back into the widget.
    static constexpr int ExpandedRole = Qt::UserRole + 3;

private:
    TCustomCheckTreeView* FView;
};
