// The diagnostic bridge's C functions over NorvoController.
#include "plugin/diagnostic_bridge.h"

#include <string_view>

#include "plugin/norvo_controller.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace {

using namespace Steinberg;

// The controller behind `unknown`, or null. The interface query adds a reference that is
// released at once: the caller keeps the controller alive. An object of another module or
// class is refused rather than taken for ours.
norvo::NorvoController* controllerOf(FUnknown* unknown) {
  if (unknown == nullptr) return nullptr;
  Vst::IEditController* editController = nullptr;
  if (unknown->queryInterface(Vst::IEditController::iid,
                              reinterpret_cast<void**>(&editController)) != kResultOk ||
      editController == nullptr)
    return nullptr;
  editController->release();
  return dynamic_cast<norvo::NorvoController*>(editController);
}

}  // namespace

int norvoDiagnosticBridgeAbiVersion(void) { return 2; }

int norvoInstallDiagnosticBridgeSink(FUnknown* controller,
                                     void (*callback)(void*, const char*, std::size_t),
                                     void* userData) {
  norvo::NorvoController* target = controllerOf(controller);
  if (target == nullptr) return 0;
  if (callback == nullptr) {
    target->setBridgeSink({});
  } else {
    target->setBridgeSink([callback, userData](std::string_view text) {
      callback(userData, text.data(), text.size());
    });
  }
  return 1;
}

int norvoDeliverDiagnosticBridgeMessage(FUnknown* controller, const char* text,
                                        std::size_t length) {
  norvo::NorvoController* target = controllerOf(controller);
  if (target == nullptr || text == nullptr) return 0;
  target->handleBridgeMessage(text, length);
  return 1;
}

int norvoTickDiagnosticCadence(FUnknown* controller) {
  norvo::NorvoController* target = controllerOf(controller);
  if (target == nullptr) return 0;
  target->tickCadence();
  return 1;
}
