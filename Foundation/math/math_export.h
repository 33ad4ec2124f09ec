#pragma once

// Symbols of libkorvex_math that other binaries may use. Everything else is hidden.
#define KORVEX_MATH_API __attribute__((visibility("default")))
