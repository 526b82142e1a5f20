// The client is named "zarv" in the server's lists (pactl, volume controls).
#include "music/pulseconnection.h"

#include <pulse/context.h>
#include <pulse/mainloop.h>

bool PulseConnection::Open() {
  Close();
  loop = pa_mainloop_new();
  if (loop != nullptr) context = pa_context_new(pa_mainloop_get_api(loop), "zarv");
  if (context == nullptr || pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    Close();
    return false;
  }
  return true;
}

void PulseConnection::Close() {
  if (context != nullptr) {
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
  }
  if (loop != nullptr) {
    pa_mainloop_free(loop);
    loop = nullptr;
  }
}

int PulseConnection::Iterate() { return pa_mainloop_iterate(loop, 0, nullptr); }
