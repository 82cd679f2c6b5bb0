#include "midiin/MidiInService.h"

MidiInService::~MidiInService() = default;
