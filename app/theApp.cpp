// The one application object, constructed before the process entry runs.
#include "app/CtarvinApp.h"

namespace kelvo {

CtarvinApp theApp;

} // namespace kelvo
