#pragma once

// Symbols of libkorvex_serialization that other binaries may use. Everything else is hidden.
#define KORVEX_SERIALIZATION_API __attribute__((visibility("default")))
