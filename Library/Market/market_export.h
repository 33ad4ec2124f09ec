#pragma once

// Symbols of libMarket that other binaries may use. Everything else is hidden.
#define KORVEX_MARKET_API __attribute__((visibility("default")))
