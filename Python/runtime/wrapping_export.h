#pragma once

// Symbols of the wrapping run-time that the extension modules use. Everything else is hidden.
#define KORVEX_WRAPPING_API __attribute__((visibility("default")))
