// Interface ids of the plug-in view interfaces, for SDK copies that declare them but define
// them nowhere. The build defines NORVO_DEFINE_<interface>_IID for exactly the ids no compiled
// SDK source defines, so a full SDK's own definitions are never doubled.
#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {

#if NORVO_DEFINE_IPlugView_IID
DEF_CLASS_IID(IPlugView)
#endif
#if NORVO_DEFINE_IPlugFrame_IID
DEF_CLASS_IID(IPlugFrame)
#endif
#if NORVO_DEFINE_IPlugViewContentScaleSupport_IID
DEF_CLASS_IID(IPlugViewContentScaleSupport)
#endif

#if SMTG_OS_LINUX
namespace Linux {
#if NORVO_DEFINE_IEventHandler_IID
DEF_CLASS_IID(IEventHandler)
#endif
#if NORVO_DEFINE_ITimerHandler_IID
DEF_CLASS_IID(ITimerHandler)
#endif
#if NORVO_DEFINE_IRunLoop_IID
DEF_CLASS_IID(IRunLoop)
#endif
}  // namespace Linux
#endif

}  // namespace Steinberg
