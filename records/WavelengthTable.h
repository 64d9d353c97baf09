// The meter's table of twenty wavelengths in nm, from its connect reply.
#pragma once

#include <QtGlobal>
#include <array>

constexpr int WAVELENGTH_COUNT = 20;

// Each 16-bit wavelength is held in a 32-bit slot; all 0 before the first connect.
using WavelengthTable = std::array<quint32, WAVELENGTH_COUNT>;
