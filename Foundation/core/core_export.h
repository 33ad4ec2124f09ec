#pragma once

// Symbols of libkorvex_core that other binaries may use. Everything else is hidden.
#define KORVEX_CORE_API __attribute__((visibility("default")))
