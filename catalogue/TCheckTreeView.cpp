#include "catalogue/TCheckTreeView.h"

TCheckTreeView::TCheckTreeView(QWidget* parent) : TCustomCheckTreeView(parent) {}
