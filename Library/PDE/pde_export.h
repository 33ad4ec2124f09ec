#pragma once

// Symbols of libPDE that other binaries may use. Everything else is hidden.
#define KORVEX_PDE_API __attribute__((visibility("default")))
