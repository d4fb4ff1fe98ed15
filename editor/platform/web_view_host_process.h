// Starting and ending the web view helper process (norvo-webview-host) from the plug-in.
// The helper is started without a shell, with a new socket pair's other end as its descriptor 3,
// standard input and output on /dev/null, standard error shared with the host, no other
// descriptor of the host, and default signal dispositions.
// Main thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace norvo {

struct WebViewHostProcess {
  pid_t pid = -1;
  int fd = -1;  // our end of the socket pair (SOCK_SEQPACKET, close-on-exec)
};

// The helper beside this plug-in module: "<module folder>/norvo-webview-host"; empty when the
// module's path is unknown.
std::string webViewHostPath();

// Starts `path` with `arguments` (not including the program name). On failure answers a
// process with pid -1 and fd -1 and puts the reason in `error`.
WebViewHostProcess startWebViewHost(const std::string& path,
                                    const std::vector<std::string>& arguments, std::string& error);

// Collects the process if it has ended, without waiting. True when it is gone (also when
// someone else collected it).
bool collectWebViewHost(pid_t pid);

// Waits up to `grace` for the process to end, then kills it (SIGKILL) and collects it.
void endWebViewHost(pid_t pid, std::chrono::milliseconds grace);

}  // namespace norvo
