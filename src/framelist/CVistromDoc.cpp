#include "framelist/CVistromDoc.h"
