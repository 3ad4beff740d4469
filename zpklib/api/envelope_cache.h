// The phase envelope of a stream's definition, traced once per definition
// and kept per stream number (engine_envelope.cpp); other C functions read
// it to explain a failure (a pressure above the cricondenbar).
#pragma once

#include <memory>

#include "equilibrium/envelope.h"

namespace zpk::api {

std::shared_ptr<const equilibrium::Envelope> envelopeOf(int stream);

} // namespace zpk::api
