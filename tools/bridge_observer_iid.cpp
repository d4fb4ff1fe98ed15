// The interface id of IBridgeObserver, which the probe's editor frame offers.
#include "plugin/bridge_observer.h"

namespace norvo {
DEF_CLASS_IID(IBridgeObserver)
}  // namespace norvo
