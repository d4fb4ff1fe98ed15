// The prefix of every line the plug-in writes to standard error, so that a user can pick the
// shell's lines out of a host's log. A string literal, so it joins format strings at compile
// time: std::fprintf(stderr, NORVO_LOG_PREFIX "kernel setup failed\n"). Any thread.
#pragma once

#define NORVO_LOG_PREFIX "norvo-plugin-shell: "
