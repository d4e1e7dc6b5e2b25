#include "containers/qxRBTreeImpl.h"
