// Built as part of the image layer, which lies below the document layer:
// this include must not compile.
#include "document/LayerManagement.h"
