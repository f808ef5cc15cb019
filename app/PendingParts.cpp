// Stand-ins while an area is not yet in the tree; each block goes when its area lands.
#include "app/TFMain.h"
#include "catalogue/TCatalogueBuilder.h"
#include "update/SelfUpdateHooks.h"

#include <QDialog>

#if !__has_include("update/TfUpdMess.h")
#error "update/TfUpdMess.h missing"
#endif
