#pragma once

#include "catalogue/TCustomCheckTreeView.h"

// The check tree as placed on a form (the wizard's TVFiles).
class TCheckTreeView : public TCustomCheckTreeView {
    Q_OBJECT

public:
    explicit TCheckTreeView(QWidget* parent = nullptr);
};
