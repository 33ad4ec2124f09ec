#pragma once

// Symbols of libPricing that other binaries may use. Everything else is hidden.
#define KORVEX_PRICING_API __attribute__((visibility("default")))
