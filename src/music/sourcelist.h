// The sources the audio server offers to listen to (microphones, line-ins,
// and each output's monitor, which carries what that output plays), asked
// once over a short-lived connection before the show starts.
#pragma once

#include <string>
#include <vector>

struct AudioSource {
  std::string name;         // what --listen takes
  std::string description;  // what the desktop calls it
};

struct SourceList {
  std::vector<AudioSource> sources;
  std::string defaultMonitor;  // the default output's monitor; empty when the server has no output

  bool Has(const std::string& name) const;
  // One line a source, "name  description", the default output's monitor
  // marked with "*" and the rest indented to match.
  std::string Format() const;
};

// Asks the server the environment names (PULSE_SERVER, or the user's own),
// waiting at most a few seconds. False, with a line for the user in
// *reason, when there is no server to ask.
bool ListSources(SourceList* list, std::string* reason);
