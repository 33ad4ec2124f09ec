#pragma once

// Symbols of libkorvex_util that other binaries may use. Everything else is hidden.
#define KORVEX_UTIL_API __attribute__((visibility("default")))
