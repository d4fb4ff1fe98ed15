// The folder picker of builds without a native file dialog.
#include "banks/hosted_bank.h"

namespace norvo {

bool pickBankFolder(std::string& folder, std::string& error) {
  folder.clear();
  error = "this build has no folder picker";
  return false;
}

}  // namespace norvo
