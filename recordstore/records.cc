// Filled in next.
#include "recordstore/bytes.h"
