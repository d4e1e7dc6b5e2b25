#include "containers/qxListImpl.h"
