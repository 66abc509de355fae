// Test output helpers shared by the unit and the end-to-end tests.
#pragma once

#include <string>
#include <string_view>

// Escapes control bytes (\x1b, \b, \r, \n …) so a failing comparison is readable.
std::string visible(std::string_view bytes);

// Compares two byte strings, showing both with their escapes made visible.
#define EXPECT_BYTES(expected, actual) EXPECT_EQ(visible(expected), visible(actual))
