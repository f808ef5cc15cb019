#pragma once

#include "platform/Exception.h"

// A node placement the tree cannot take (bad level, too many nodes, malformed line).
class ETreeViewError : public Exception {
public:
    using Exception::Exception;
};
