#include "catalogue/TCustomCheckTreeView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "catalogue/TCheckTreeDelegate.h"
#include "catalogue/TCheckTreeStrings.h"
#include "catalogue/TCheckToggle.h"
#include "platform/EmbeddedResources.h"
#include "platform/Exception.h"

namespace {

const QRgb Olive = 0x808000;
const QRgb Gray = 0x808080;

}  // namespace

TCustomCheckTreeView::TCustomCheckTreeView(QWidget* parent)
    : QTreeWidget(parent), FItems(std::make_unique<TTreeNodes>(static_cast<TTreeNodesObserver*>(this)))
{
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);  // labels are read-only
    setUniformRowHeights(true);
    setItemDelegate(new TCheckTreeDelegate(this));

    CheckImages = std::make_unique<TImageList>(16, 16);
    CheckImages->SetName(QStringLiteral("CheckImages"));
    LoadCheckImages();
    CheckWidth = CheckImages->Width();
    UpdateImagesWidth();
}

TCustomCheckTreeView::~TCustomCheckTreeView() = default;

TTreeNode* TCustomCheckTreeView::NodeOfItem(const QTreeWidgetItem* item)
{
    if (!item)
        return nullptr;
    return reinterpret_cast<TTreeNode*>(item->data(0, TCheckTreeDelegate::NodeRole).value<quintptr>());
}

void TCustomCheckTreeView::LoadFromFile(const QString& fileName)
{
    TCheckTreeStrings(*FItems, RadioStates).LoadFromFile(fileName);
}

void TCustomCheckTreeView::LoadFromStream(QIODevice& stream)
{
    TCheckTreeStrings strings(*FItems, RadioStates);
    strings.LoadFromStream(stream);
}

void TCustomCheckTreeView::AddRadioState(const TRadioState& state)
{
    RadioStates.push_back(state);
}

void TCustomCheckTreeView::DeleteRadioState(std::uint16_t index)
{
    if (index < RadioStates.size())
        RadioStates.erase(RadioStates.begin() + index);
}

void TCustomCheckTreeView::ClearRadioStates()
{
    RadioStates.clear();
}

void TCustomCheckTreeView::LoadCheckImages()
{
    const QColor window = palette().color(QPalette::Base);
    QRgb highlight = palette().color(QPalette::Highlight).rgb() & 0xFFFFFF;
    // The mark must never turn into the mask colour (or the frame's gray).
    if (highlight == Olive || highlight == Gray)
        highlight += 0x010000;
    const QRgb map[][2] = {
        {0xFFFFFF, window.rgb()},   // inside
        {0x808080, 0xFFC0C0C0},     // frame
        {0xFF0000, window.rgb()},   // bottom and right shadow
        {0xFF00FF, window.rgb()},   // top and left shadow
        {0x0000FF, 0xFF000000 | highlight},  // the mark
    };
    // Image i is drawn for state i; the hidden box's is never drawn.
    const char* names[] = {"CHECKBOX_UNCHECKED", "CHECKBOX_UNCHECKED", "CHECKBOX_CHECKED", "CHECKBOX_GRAYED"};
    static_assert(sizeof names / sizeof names[0] == csGrayed + 1);
    CheckImages->Clear();
    for (const char* name : names) {
        TResourceData data;
        if (!FindEmbeddedResource("BITMAP", name, data))
            throw Exception(std::string("Resource ") + name + " not found");
        QImage bitmap = QImage::fromData(data.Data, static_cast<int>(data.Size), "BMP");
        if (bitmap.isNull())
            throw Exception(std::string("Resource ") + name + " is not a bitmap");
        bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < bitmap.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
            for (int x = 0; x < bitmap.width(); ++x) {
                for (const auto& m : map) {
                    if ((line[x] & 0xFFFFFF) == m[0]) {
                        line[x] = m[1];
                        break;
                    }
                }
            }
        }
        QImage cell(CheckImages->Width(), CheckImages->Height(), QImage::Format_RGB32);
        cell.fill(QColor::fromRgb(Olive));
        QPainter painter(&cell);
        painter.drawImage(2, 2, bitmap);
        painter.end();
        CheckImages->AddMasked(cell, QColor::fromRgb(Olive));
    }
}

void TCustomCheckTreeView::ToggleNode(TTreeNode* node)
{
    if (!FShowCheckImage)
        return;
    ClickPending = false;
    if (!Toggle().ToggleState(node))
        return;
    if (CascadeChecks) {
        const bool checked = node->StateIndex() == csChecked;
        UpdateChildren(node, checked);
        UpdateParents(node, checked);
    }
}

TCheckToggle TCustomCheckTreeView::Toggle()
{
    return TCheckToggle(*FItems, RadioStates, *this);
}

void TCustomCheckTreeView::SetNodeState(TTreeNode* node, TCheckState newState)
{
    if (!node || !DoStateChanging(node, newState))
        return;
    node->SetStateIndex(newState);
    DoStateChange(node, newState);
}

bool TCustomCheckTreeView::DoStateChanging(TTreeNode* node, TCheckState newState)
{
    bool allowChange = true;
    if (OnStateChanging)
        OnStateChanging(this, node, newState, allowChange);
    return allowChange;
}

void TCustomCheckTreeView::DoStateChange(TTreeNode* node, TCheckState newState)
{
    if (OnStateChange)
        OnStateChange(this, node, newState);
}

void TCustomCheckTreeView::UpdateChildren(TTreeNode* node, bool checked)
{
    Toggle().UpdateChildren(node, checked);
    if (OnUpdateChildren)
        OnUpdateChildren(this);
}

void TCustomCheckTreeView::UpdateImagesWidth()
{
    ImagesWidth = FImages ? FImages->Width() : 0;
}

void TCustomCheckTreeView::UpdateParents(TTreeNode* node, bool /*checked*/)
{
    Toggle().UpdateParents(node);
}

void TCustomCheckTreeView::SetShowCheckImage(bool value)
{
    if (FShowCheckImage == value)
        return;
    FShowCheckImage = value;
    if (!value) {
        FItems->BeginUpdate();
        for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext())
            n->SetStateIndex(csUnassigned);
        FItems->EndUpdate();
    } else {
        FMayHaveUnset = true;
    }
    RelayoutRows();
}

void TCustomCheckTreeView::SetImages(TImageList* images)
{
    FImages = images;
    UpdateImagesWidth();
    RelayoutRows();
}

void TCustomCheckTreeView::SetSortType(TSortType type)
{
    if (FSortType == type)
        return;
    FSortType = type;
    setSortingEnabled(false);
    FItems->SetSorted(type == TSortType::stText);
}

void TCustomCheckTreeView::FullExpand()
{
    if (!FDetached) {
        expandAll();
        return;
    }
    for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext()) {
        if (n->HasChildren())
            n->ViewItem()->setData(0, TCheckTreeDelegate::ExpandedRole, true);
    }
}

TTreeNode* TCustomCheckTreeView::Selected() const
{
    return FDetached ? FSavedCurrent : NodeOfItem(currentItem());
}

void TCustomCheckTreeView::SetSelected(TTreeNode* node)
{
    if (FDetached)
        FSavedCurrent = node;
    else
        setCurrentItem(node ? node->ViewItem() : nullptr);
}

TTreeNode* TCustomCheckTreeView::GetNodeAt(const QPoint& pos) const
{
    return NodeOfItem(itemAt(pos));
}

QRect TCustomCheckTreeView::NodeRect(TTreeNode* node) const
{
    if (!node || !node->ViewItem())
        return QRect();
    return visualItemRect(node->ViewItem());
}

QRect TCustomCheckTreeView::TextRect(TTreeNode* node) const
{
    const QRect row = NodeRect(node);
    if (row.isNull())
        return row;
    const int left = row.left() + LabelOffset();
    const int width = fontMetrics().horizontalAdvance(node->Text()) + 6;
    return QRect(left, row.top(), std::max(1, std::min(width, row.right() - left + 1)), row.height());
}

int TCustomCheckTreeView::LabelOffset() const
{
    return (FShowCheckImage ? CheckWidth : 0) + (FImages ? ImagesWidth : 0);
}

bool TCustomCheckTreeView::OnCheckBand(const QPoint& pos) const
{
    TTreeNode* node = Selected();
    if (!node || node->AbsoluteIndex() < 0)
        return false;
    const QRect text = TextRect(node);
    return pos.x() <= text.left() - ImagesWidth && pos.x() > text.left() - CheckWidth - ImagesWidth &&
           pos.y() >= text.top() && pos.y() <= text.bottom();
}

void TCustomCheckTreeView::RelayoutRows()
{
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void TCustomCheckTreeView::paintEvent(QPaintEvent* event)
{
    // Nodes added without a state show an unchecked box.
    if (FShowCheckImage && FMayHaveUnset) {
        FMayHaveUnset = false;
        for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext()) {
            if (n->StateIndex() == csUnassigned)
                n->SetStateIndex(csUnchecked);
        }
    }
    QTreeWidget::paintEvent(event);
}

void TCustomCheckTreeView::keyPressEvent(QKeyEvent* event)
{
    // The space bar toggles on release; it must not reach the incremental search.
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void TCustomCheckTreeView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && state() != QAbstractItemView::EditingState) {
        if (TTreeNode* node = Selected())
            ToggleNode(node);
    }
    QTreeWidget::keyReleaseEvent(event);
}

void TCustomCheckTreeView::mousePressEvent(QMouseEvent* event)
{
    // The tree selects the pressed node first, so a press on any node's box arms the click.
    QTreeWidget::mousePressEvent(event);
    // A press elsewhere drops an earlier pending click, so a later release cannot toggle.
    ClickPending = false;
    if (event->button() == Qt::LeftButton && OnCheckBand(event->position().toPoint())) {
        ClickPending = true;
        ClickIndex = Selected()->AbsoluteIndex();
    }
}

void TCustomCheckTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        TTreeNode* node = Selected();
        const bool toggle = ClickPending && node && node->AbsoluteIndex() == ClickIndex &&
                            viewport()->rect().contains(event->position().toPoint());
        ClickPending = false;
        if (toggle)
            ToggleNode(node);
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void TCustomCheckTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A quick second click on the box is a second toggle, not an expand.
    if (event->button() == Qt::LeftButton && GetNodeAt(event->position().toPoint()) == Selected() &&
        OnCheckBand(event->position().toPoint())) {
        ClickPending = true;
        ClickIndex = Selected()->AbsoluteIndex();
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TCustomCheckTreeView::NodeAdded(TTreeNode* node)
{
    if (node->StateIndex() == csUnassigned)
        FMayHaveUnset = true;
    AddRow(node);
}

void TCustomCheckTreeView::AddRow(TTreeNode* node)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, node->Text());
    item->setData(0, TCheckTreeDelegate::NodeRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(node)));
    item->setData(0, TCheckTreeDelegate::StateRole, node->StateIndex());
    item->setData(0, TCheckTreeDelegate::ImageRole, node->ImageIndex());
    node->SetViewItem(item);
    QTreeWidgetItem* parentItem = node->Parent() ? node->Parent()->ViewItem() : nullptr;
    const TTreeNode* next = node->GetNextSibling();
    QTreeWidgetItem* nextItem = next ? next->ViewItem() : nullptr;
    if (parentItem) {
        if (nextItem)
            parentItem->insertChild(parentItem->indexOfChild(nextItem), item);
        else
            parentItem->addChild(item);
    } else if (FDetached) {
        if (nextItem)
            FDetachedTops.insert(FDetachedTops.indexOf(nextItem), item);
        else
            FDetachedTops.append(item);
    } else {
        if (nextItem)
            insertTopLevelItem(indexOfTopLevelItem(nextItem), item);
        else
            addTopLevelItem(item);
    }
}

void TCustomCheckTreeView::NodeDeleting(TTreeNode* node)
{
    for (TTreeNode* p = FSavedCurrent; p; p = p->Parent()) {
        if (p == node) {
            FSavedCurrent = nullptr;
            break;
        }
    }
    QTreeWidgetItem* item = node->ViewItem();
    if (FDetached && !node->Parent())
        FDetachedTops.removeOne(item);
    delete item;
    node->SetViewItem(nullptr);
}

void TCustomCheckTreeView::NodeChanged(TTreeNode* node)
{
    QTreeWidgetItem* item = node->ViewItem();
    if (!item)
        return;
    if (item->text(0) != node->Text())
        item->setText(0, node->Text());
    if (item->data(0, TCheckTreeDelegate::StateRole).toInt() != node->StateIndex())
        item->setData(0, TCheckTreeDelegate::StateRole, node->StateIndex());
    if (item->data(0, TCheckTreeDelegate::ImageRole).toInt() != node->ImageIndex())
        item->setData(0, TCheckTreeDelegate::ImageRole, node->ImageIndex());
    if (node->StateIndex() == csUnassigned)
        FMayHaveUnset = true;
}

void TCustomCheckTreeView::NodesClearing()
{
    FSavedCurrent = nullptr;
    if (FDetached) {
        qDeleteAll(FDetachedTops);
        FDetachedTops.clear();
    } else {
        clear();
    }
}

void TCustomCheckTreeView::NodesReordered()
{
    // Rebuild the rows in the collection's new order, keeping what was expanded.
    std::vector<TTreeNode*> expanded;
    for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext()) {
        if (n->ViewItem() && (FDetached ? n->ViewItem()->data(0, TCheckTreeDelegate::ExpandedRole).toBool()
                                        : n->ViewItem()->isExpanded()))
            expanded.push_back(n);
    }
    TTreeNode* current = Selected();
    NodesClearing();
    for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext())
        n->SetViewItem(nullptr);
    for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext())
        AddRow(n);
    for (TTreeNode* n : expanded) {
        if (FDetached)
            n->ViewItem()->setData(0, TCheckTreeDelegate::ExpandedRole, true);
        else
            n->ViewItem()->setExpanded(true);
    }
    SetSelected(current);
}

void TCustomCheckTreeView::UpdateBegun()
{
    setUpdatesEnabled(false);
    FSavedCurrent = Selected();
    std::vector<QTreeWidgetItem*> expanded;
    for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext()) {
        if (n->ViewItem() && n->ViewItem()->isExpanded())
            expanded.push_back(n->ViewItem());
    }
    FDetachedTops = invisibleRootItem()->takeChildren();
    FDetached = true;
    for (QTreeWidgetItem* item : expanded)
        item->setData(0, TCheckTreeDelegate::ExpandedRole, true);
}

void TCustomCheckTreeView::UpdateEnded()
{
    FDetached = false;
    addTopLevelItems(FDetachedTops);
    FDetachedTops.clear();
    // The layout is still pending here, so expanding only records the rows.
    for (TTreeNode* n = FItems->GetFirstNode(); n; n = n->GetNext()) {
        QTreeWidgetItem* item = n->ViewItem();
        if (item->data(0, TCheckTreeDelegate::ExpandedRole).toBool()) {
            item->setData(0, TCheckTreeDelegate::ExpandedRole, QVariant());
            item->setExpanded(true);
        }
    }
    if (FSavedCurrent)
        setCurrentItem(FSavedCurrent->ViewItem());
    FSavedCurrent = nullptr;
    setUpdatesEnabled(true);
    RelayoutRows();
}

void TCustomCheckTreeView::Invalidate()
{
    viewport()->update();
}
